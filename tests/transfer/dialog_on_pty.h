// The main dialog on the headless back-end with a manual clock, its port
// being a real pseudo-terminal (COM7) and its files in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "device_speed.h"
#include "platform/framework/headless/headless.h"
#include "support/pty.h"
#include "ui/zandrel_dlg.h"

namespace transfertest {

constexpr int COM_NUMBER = 7;
constexpr char WRITING[] = "Status:  Data is being written to the port...";
constexpr char READING[] = "Status:  Reading data from the port... ";

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// How many of this process's descriptors are open on the file.
int OpenDescriptors(const std::filesystem::path& path);
// Whether the device can be opened now, that is no one holds it.
bool PortFree(const testsupport::Pty& pty);

class DialogOnPty : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path Path(const std::string& name) const { return m_dir / name; }

    // Types the send file (written with the given bytes), the delay and the Loop state, then clicks Write to Port.
    void StartWrite(const std::string& bytes, const char* delay, bool loop);
    void SetLoop(bool loop);
    // Types the capture file name and clicks Capture To File.
    void StartCapture(const std::string& name);

    // One tick of the send timer, and what reached the far end during it.
    std::string Tick(DWORD milliseconds);
    // Sends from the far end and handles the notifications until the capture file holds `total` bytes.
    bool ReceiveInto(const std::string& bytes, const std::filesystem::path& capture, size_t total);
    // Lets the port's notifications arrive and handles them, without waiting for anything else.
    void DispatchFor(DWORD milliseconds);

    std::string Status() const { return headless::ControlText(m_dlg, IDC_STATUS); }

    testsupport::Pty m_pty;
    CZandrelDlg m_dlg;
    std::filesystem::path m_dir;
};

}  // namespace transfertest
