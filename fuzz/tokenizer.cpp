// The command-line tokenizer against a plain restatement of its rule: the
// bytes are the whole command line (up to a NUL, as a C text ends there).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cmdline/command_line.h"
#include "cmdline/zandrel_command_line_info.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const char kWhiteSpace[] = " \t\n\v\f\r";

std::vector<std::string> SplitOnSpaces(const std::string& text) {
    std::vector<std::string> words;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

Pairs ExpectedPairs(std::string line) {
    line.erase(0, line.find_first_not_of(kWhiteSpace));
    line.erase(line.find_last_not_of(kWhiteSpace) + 1);
    // A quoted program path runs to its closing quote.
    size_t pathSearch = 0;
    if (!line.empty() && line[0] == '"' && line.find('"', 1) != std::string::npos) pathSearch = line.find('"', 1);
    const size_t pathEnd = line.find(' ', pathSearch);
    const std::vector<std::string> words =
        pathEnd == std::string::npos ? std::vector<std::string>{} : SplitOnSpaces(line.substr(pathEnd + 1));

    Pairs pairs;
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i][0] == '-' || words[i][0] == '/') {
            pairs.emplace_back(words[i].substr(1), i + 1 < words.size() ? words[i + 1] : "");
            ++i;
        } else {
            pairs.emplace_back("", words[i]);
        }
    }
    return pairs;
}

Pairs Walk(CZandrelCommandLineInfo& info) {
    Pairs pairs;
    CString strSwitch;
    CString strValue;
    for (BOOL more = info.GetFirstParameter(strSwitch, strValue); more;
         more = info.GetNextParameter(strSwitch, strValue))
        pairs.emplace_back(strSwitch.str(), strValue.str());
    if (!strSwitch.IsEmpty() || !strValue.IsEmpty()) std::abort();  // the end of a walk leaves both empty
    return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string line = bytes.substr(0, bytes.find('\0'));
    testsupport::SetCommandLine(line);

    CZandrelCommandLineInfo info;
    CString strSwitch;
    CString strValue;
    if (info.GetNextParameter(strSwitch, strValue)) std::abort();  // nothing before the first
    const Pairs first = Walk(info);
    if (first != ExpectedPairs(line)) std::abort();
    if (Walk(info) != first) std::abort();  // a second walk restarts from the first pair
    return 0;
}
