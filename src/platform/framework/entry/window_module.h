// The Qt back-end as a module loaded at run time: a console run then maps no
// Qt library at all, which keeps it small and quick to start. The module is
// zandrel-qt.so beside the program (build tree) or, installed, in
// lib/<multiarch>/zandrel/ beside the program's bin/ (lib/x86_64-linux-gnu/zandrel/).
#pragma once

#include <string>

class WindowModule {
public:
    WindowModule() = default;
    // Ends the Qt session. The module stays loaded: Qt keeps state that must
    // outlive its last object.
    ~WindowModule();
    WindowModule(const WindowModule&) = delete;
    WindowModule& operator=(const WindowModule&) = delete;

    // Loads the module and selects the Qt back-end; on failure (no module, a
    // display that cannot be reached) says why. Qt is given none of the
    // program's arguments.
    bool Open(const char* programName, std::string& reason);

private:
    void* m_session = nullptr;
    void (*m_close)(void*) = nullptr;
};
