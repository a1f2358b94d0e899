#include "dialog_on_pty.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/kernel/background_close.h"
#include "serial/serial_port.h"

namespace transfertest {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

int OpenDescriptors(const std::filesystem::path& path) {
    int count = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        auto target = std::filesystem::read_symlink(entry.path(), linkError);
        if (!linkError && target == path) ++count;
    }
    return count;
}

bool PortFree(const testsupport::Pty& pty) {
    CSerialPort probe;
    const bool opened = probe.Open(pty.DeviceName().c_str(), 2048, 2048) == 0;
    probe.Close();
    kernel::WaitForBackgroundCloses();  // the probe's close puts the line back on a thread of its own
    return opened;
}

void DialogOnPty::SetUp() {
    headless::Use(true);
    m_pty.MapAs(COM_NUMBER);
    char pattern[] = "/tmp/zandrel-transfer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    ASSERT_TRUE(headless::Create(m_dlg));
    headless::RunUntilIdle();
    headless::Type(m_dlg, IDC_COM_PORT, ("COM" + std::to_string(COM_NUMBER)).c_str());
}

void DialogOnPty::TearDown() {
    headless::Destroy(m_dlg);
    headless::TakeMessageBoxes();
    std::filesystem::remove_all(m_dir);
}

void DialogOnPty::SetLoop(bool loop) {
    if (headless::ControlChecked(m_dlg, IDC_LOOP) != loop) headless::Click(m_dlg, IDC_LOOP);
}

void DialogOnPty::StartWrite(const std::string& bytes, const char* delay, bool loop) {
    WriteFile(Path("send.txt"), bytes);
    headless::Type(m_dlg, IDC_SEND_FILE, Path("send.txt").c_str());
    headless::Type(m_dlg, IDC_TIME_DELAY, delay);
    SetLoop(loop);
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
}

void DialogOnPty::StartCapture(const std::string& name) {
    headless::Type(m_dlg, IDC_CAPTURE_FILE, name.c_str());
    headless::Click(m_dlg, IDC_CAPTURE_TO_FILE);
}

std::string DialogOnPty::Tick(DWORD milliseconds) {
    headless::Advance(milliseconds);
    // Each tick writes synchronously, so its byte is already on its way.
    return m_pty.ReceiveFor(20);
}

bool DialogOnPty::ReceiveInto(const std::string& bytes, const std::filesystem::path& capture, size_t total) {
    m_pty.Send(bytes);
    return headless::DispatchUntil([&] { return ReadFile(capture).size() >= total; }, 5000);
}

void DialogOnPty::DispatchFor(DWORD milliseconds) {
    headless::DispatchUntil([] { return false; }, milliseconds);
}

}  // namespace transfertest
