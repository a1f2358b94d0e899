#include <string>

#include "platform/framework/afxwin.h"

namespace {

std::string& CommandLine() {
    static std::string line;
    return line;
}

}  // namespace

void AfxSetCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) line += ' ';
        std::string argument = argv[i] ? argv[i] : "";
        // Quoted as the original platform hands such an argument over; an empty
        // one would otherwise vanish between two separators.
        if (argument.empty() || argument.find(' ') != std::string::npos)
            line += '"' + argument + '"';
        else
            line += argument;
    }
    CommandLine() = line;
}

LPSTR GetCommandLineA() { return CommandLine().data(); }

CCommandLineInfo::CCommandLineInfo() = default;

CCommandLineInfo::~CCommandLineInfo() = default;

// The program reads nothing back from the base class, so it records nothing.
void CCommandLineInfo::ParseParam(const char*, BOOL, BOOL) {}
