#include "e2e/terminal_lines.h"

namespace e2e {

std::vector<std::string> DrawnLines(const std::string& output) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < output.size(); ++i) {
        if (output.compare(i, 3, "\033[K") == 0) {
            i += 2;
        } else if (output[i] == '\r' || output[i] == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += output[i];
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace e2e
