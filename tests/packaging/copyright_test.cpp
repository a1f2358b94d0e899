// The package's machine-readable copyright file says what LICENSE says: the
// same holders and year, and the licence's text word for word.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> LinesOf(const std::string& name) {
    std::ifstream file(std::string(ZANDREL_SOURCE_DIR) + "/" + name);
    EXPECT_TRUE(file) << name;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

// The body of the stand-alone "License: <name>" paragraph, as plain lines.
std::vector<std::string> LicenceText(const std::vector<std::string>& copyright, const std::string& name) {
    std::vector<std::string> text;
    bool inside = false;
    for (const std::string& line : copyright) {
        if (line == "License: " + name) {
            inside = true;
            text.clear();  // the last such field is the stand-alone paragraph
            continue;
        }
        if (!inside) continue;
        if (line.empty() || line[0] != ' ') {
            inside = false;
            continue;
        }
        text.push_back(line == " ." ? "" : line.substr(1));
    }
    return text;
}

TEST(CopyrightFile, IsDep5WithTheHoldersAndTheTextOfLicense) {
    const std::vector<std::string> licence = LinesOf("LICENSE");
    const std::vector<std::string> copyright = LinesOf("packaging/copyright");
    ASSERT_GE(licence.size(), 5u);
    ASSERT_FALSE(copyright.empty());
    EXPECT_EQ("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/", copyright[0]);
    EXPECT_EQ("MIT License", licence[0]);
    EXPECT_EQ("Copyright (c) 2026 The Zandrel developers", licence[2]);
    EXPECT_NE(std::find(copyright.begin(), copyright.end(), "Copyright: 2026 The Zandrel developers"), copyright.end());
    // Debian calls the MIT licence Expat; its text starts after the notice.
    const std::vector<std::string> terms(licence.begin() + 4, licence.end());
    EXPECT_EQ(terms, LicenceText(copyright, "Expat"));
}

}  // namespace
