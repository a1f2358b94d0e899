// What a program drew on a terminal, as the rows a user saw go by.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// The output split where the terminal goes back to the start of the line or
// to a new one, with the erase-to-end-of-line sequences dropped.
std::vector<std::string> DrawnLines(const std::string& output);

}  // namespace e2e
