// The command-line message handled by the dialog on the headless back-end:
// the bytes are the words after the program path. Every COMn names a missing
// device, so a job that starts finds no port and touches no file; -c also
// takes the port itself, so words that would name a device or a server are
// passed over: nothing is opened or connected to for real (any other path is
// no terminal, and its open fails before a job touches a file). Whatever the words, at most one message is shown
// and every control that the switches validate holds a value they accept.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cmdline/command_line.h"
#include "platform/framework/headless/headless.h"
#include "ui/zandrel_dlg.h"

CWinApp theFuzzApp;  // the dialog takes its icon from the application

namespace {

bool Among(const std::string& text, std::initializer_list<const char*> accepted) {
    return std::any_of(accepted.begin(), accepted.end(), [&](const char* a) { return text == a; });
}

bool NumberIn(const std::string& text, long lowest, long highest) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value >= lowest && value <= highest;
}

void Check(bool holds) {
    if (!holds) std::abort();
}

bool CouldNameARealPort(const std::string& words) {
    return words.find("://") != std::string::npos || words.find("/dev") != std::string::npos ||
           words.find("/proc") != std::string::npos;
}

// COMn, or the port itself: a path or a server's address, up to 255 characters.
bool AcceptedPort(const std::string& port) {
    if (port.rfind("COM", 0) == 0 && NumberIn(port.substr(3), 1, 25)) return true;
    return (port.rfind('/', 0) == 0 || port.find("://") != std::string::npos) && port.size() <= 255;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    headless::Use(true);
    for (int n = 1; n <= 25; ++n) setenv(("ZANDREL_COM" + std::to_string(n)).c_str(), "/nonexistent/zandrel-port", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string words(reinterpret_cast<const char*>(data), size);
    if (CouldNameARealPort(words)) return -1;  // kept out of the corpus
    testsupport::SetCommandLine("zandrel " + words);

    CZandrelDlg dlg;
    Check(headless::Create(dlg));
    headless::RunUntilIdle();
    const auto boxes = headless::TakeMessageBoxes();
    Check(boxes.size() <= 1);
    // A rejected switch, or the capture started with an empty file name.
    for (const auto& box : boxes) Check(box.caption.rfind("Zandrel: ", 0) == 0 || box.text == "Incorrect file name");

    const auto text = [&](int id) { return headless::ControlText(dlg, id); };
    Check(Among(text(IDC_BAUD), {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
                                 "56000", "57600", "115200", "128000", "256000"}));
    Check(AcceptedPort(text(IDC_COM_PORT)));
    Check(NumberIn(text(IDC_DATA_BITS), 5, 8));
    Check(NumberIn(text(IDC_TIME_DELAY), 5, 105));
    Check(Among(text(IDC_PARITY), {"NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY", "SPACEPARITY"}));
    Check(Among(text(IDC_STOP_BITS), {"1", "1.5", "2"}));
    headless::Destroy(dlg);
    return 0;
}
