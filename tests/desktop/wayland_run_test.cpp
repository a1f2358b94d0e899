// The window on a Wayland desktop: a headless weston (pixman renderer: its
// default renderer hangs the screenshooter) with Qt's Wayland platform
// (qt6-wayland). The window comes up natively, a capture started from the
// switches stores every byte, and SIGTERM closes it. A screenshot of the
// desktop with the window on it is kept as build/wayland-desktop.png for a
// person to look at. (xdotool cannot drive a Wayland window: typing stays
// with the X test.)
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "desktop/desktop_test.h"
#include "e2e/child_process.h"
#include "e2e/file_watch.h"
#include "support/png_size.h"

namespace {

using desktoptest::kTimeoutMs;
constexpr char kSocket[] = "zandrel-wayland";
constexpr unsigned kWidth = 1024;
constexpr unsigned kHeight = 768;

// Whether a client's protocol log (WAYLAND_DEBUG) shows its first buffer
// presented: the frame callback asked for with the first attach is done.
bool FirstBufferPresented(const std::string& log) {
    const size_t attached = log.find(".attach(wl_buffer@");
    if (attached == std::string::npos) return false;
    static const std::regex kFrame(R"(\.frame\(new id wl_callback@(\d+)\))");
    std::string callback;
    for (std::sregex_iterator it(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(attached), kFrame), end;
         it != end; ++it)
        callback = (*it)[1];
    return !callback.empty() && log.find("wl_callback@" + callback + ".done(", attached) != std::string::npos;
}

class WaylandRun : public desktoptest::DesktopTest {
protected:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/bin/weston")) GTEST_SKIP() << "weston is not installed (scripts/setup)";
        DesktopTest::SetUp();
        if (Ready()) StartCompositor();
    }
    void TearDown() override {
        m_compositor.reset();
        DesktopTest::TearDown();
    }

    e2e::ChildProcess::Environment Session() const {
        return {{"WAYLAND_DISPLAY", kSocket}, {"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ""},
                {"QT_QPA_PLATFORM", ""},      {"ZANDREL_HEADLESS", ""},       {"ZANDREL_WINDOW", ""},
                {"HOME", m_dir.string()},     {"XDG_RUNTIME_DIR", m_dir.string()}};
    }

    // weston makes its socket in the runtime directory once it takes clients.
    // Without animations: the desktop starts black and fades in, and a new
    // window fades in too, which a screenshot would catch halfway.
    void StartCompositor() {
        const std::string config = PathOf("weston.ini");
        std::ofstream(config) << "[shell]\nstartup-animation=none\nanimation=none\n";
        e2e::FileWatch created(m_dir.string(), IN_CREATE);
        m_compositor = std::make_unique<e2e::ChildProcess>(
            "/usr/bin/weston",
            std::vector<std::string>{"weston", "--config=" + config, "--backend=headless-backend.so", "--use-pixman",
                                     std::string("--socket=") + kSocket, "--width=" + std::to_string(kWidth),
                                     "--height=" + std::to_string(kHeight), "--idle-time=0",
                                     "--debug"},  // lets weston-screenshooter in
            e2e::ChildProcess::Environment{{"XDG_RUNTIME_DIR", m_dir.string()}}, OutputDir("weston"));
        ASSERT_TRUE(created.WaitUntil([&] { return std::filesystem::exists(m_dir / kSocket); }, kTimeoutMs))
            << m_compositor->Errors();
    }

    // The whole desktop as a PNG file, written by weston-screenshooter into
    // its working directory, a folder of its own; its path, or "" when none came.
    std::string Screenshot() {
        const std::string out = OutputDir("screenshot");
        e2e::ChildProcess shooter("/bin/sh", {"sh", "-c", "cd \"$1\" && exec weston-screenshooter", "sh", out},
                                  Session(), out);
        EXPECT_EQ(shooter.WaitForExit(kTimeoutMs), 0) << shooter.Errors();
        for (const auto& entry : std::filesystem::directory_iterator(out))
            if (entry.path().extension() == ".png") return entry.path().string();
        return "";
    }

    std::unique_ptr<e2e::ChildProcess> m_compositor;
};

TEST_F(WaylandRun, NativeWindowCapturesEveryByteAndClosesOnSigterm) {
    const std::string capture = PathOf("capture.bin");
    e2e::ChildProcess::Environment environment = Session();
    environment.emplace_back("ZANDREL_COM3", m_pty.SlavePath());
    environment.emplace_back("WAYLAND_DEBUG", "client");  // the protocol on standard error
    const std::string out = OutputDir("zandrel");
    e2e::FileWatch told(out, IN_MODIFY);
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3", "-b", "115200", "-r", capture}, environment,
                              out);
    // Natively: the window's surface got a buffer, which weston showed.
    ASSERT_TRUE(told.WaitUntil([&] { return FirstBufferPresented(zandrel.Errors()); }, kTimeoutMs))
        << zandrel.Errors();
    const std::string maps = e2e::ReadFile("/proc/" + std::to_string(zandrel.Pid()) + "/maps");
    EXPECT_NE(maps.find("libQt6WaylandClient"), std::string::npos) << "not on Qt's Wayland platform";

    // A first word, stored once the job has set the line up: before that, the
    // line's settings are the pty's, which do not mark a 0xFF as data.
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    const std::string first = "ready";
    m_pty.Send(first);
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == first; }, kTimeoutMs));
    std::string everyByte;
    for (int value = 0; value < 256; ++value) everyByte += static_cast<char>(value);
    m_pty.Send(everyByte);
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture).size() >= first.size() + everyByte.size(); },
                                  kTimeoutMs));
    EXPECT_EQ(e2e::ReadFile(capture), first + everyByte);

    const std::string shot = Screenshot();
    EXPECT_EQ(testsupport::PngSize(e2e::ReadFile(shot)), std::make_pair(kWidth, kHeight)) << shot;
    if (!shot.empty()) {
        const auto kept = std::filesystem::path(ZANDREL_BINARY).parent_path() / "wayland-desktop.png";
        std::filesystem::copy_file(shot, kept, std::filesystem::copy_options::overwrite_existing);
        std::cout << "the desktop with the window: " << kept.string() << "\n";
    }

    zandrel.Signal(SIGTERM);
    const std::optional<int> status = zandrel.WaitForExit(kTimeoutMs);
    const std::string errors = zandrel.Errors();
    // What ends standard error, after the protocol: a sanitizer's report, for one.
    EXPECT_EQ(status, 0) << errors.substr(errors.size() - std::min<size_t>(errors.size(), 8000));
    // Nothing but the protocol: no fallback, no fault told.
    EXPECT_EQ(errors.find("zandrel:"), std::string::npos) << errors;
}

}  // namespace
