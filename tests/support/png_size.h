// The size a PNG file's header gives, for tests that check a screenshot.
#pragma once

#include <string>
#include <utility>

namespace testsupport {

// Width and height from a PNG file's header, or 0 x 0 when it is none.
inline std::pair<unsigned, unsigned> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto word = [&](size_t at) {
        unsigned value = 0;
        for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {word(16), word(20)};
}

}  // namespace testsupport
