// A text from outside the program (a device's strings, a file or device name)
// as it may be shown to a user: on a terminal, control characters would act
// (retitle the window, clear the screen, make it answer on its input) instead
// of being seen.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kernel {

// Marks a text cut by VisibleText.
inline constexpr std::string_view kCutMark = "...";

// The text with each byte of a control character (C0, DEL, and C1 as UTF-8
// encodes it) and each byte that is not well-formed UTF-8 written as \xHH, and
// a backslash as \\, so that every escape reads back to the bytes it stands
// for; printable UTF-8 as it is. Longer than maxBytes (at least the cut mark's
// length), it is cut after a whole character or escape and ends with kCutMark.
std::string VisibleText(std::string_view text, size_t maxBytes = std::string::npos);

}  // namespace kernel
