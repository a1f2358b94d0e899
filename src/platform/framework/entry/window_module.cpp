#include "platform/framework/entry/window_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kModuleName = "zandrel-qt.so";
// The package that installs the module: a headless board has only the console run's.
constexpr const char* kModulePackage = "zandrel";

// Where the module is looked for, nearest first.
std::filesystem::path FindModule() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return kModuleName;
    std::filesystem::path directory = program.parent_path();
    for (const std::filesystem::path& candidate :
         {directory / kModuleName, directory.parent_path() / ZANDREL_MODULE_DIR / kModuleName}) {
        if (std::filesystem::exists(candidate, error)) return candidate;
    }
    return directory / kModuleName;  // not there: dlopen says so
}

}  // namespace

WindowModule::~WindowModule() {
    if (m_session) m_close(m_session);
}

bool WindowModule::Open(const char* programName, std::string& reason) {
    std::filesystem::path path = FindModule();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        reason = std::string("the window is not installed; install the package ") + kModulePackage;
        return false;
    }
    // RTLD_NOW: a module that does not fit the program fails here, not mid-run.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        reason = dlerror();
        return false;
    }
    auto open =
        reinterpret_cast<void* (*)(const char*, char*, size_t)>(dlsym(module, "ZandrelOpenWindowSession"));
    m_close = reinterpret_cast<void (*)(void*)>(dlsym(module, "ZandrelCloseWindowSession"));
    if (!open || !m_close) {
        reason = path.string() + " is not the window module";
        return false;
    }
    char why[512] = "";
    m_session = open(programName, why, sizeof why);
    if (!m_session) reason = why;
    return m_session != nullptr;
}
