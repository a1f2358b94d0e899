// The command-line message handled by the dialog on the headless back-end:
// what each switch leaves in the controls, the exact rejection messages, and
// which job starts.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "support/test_directory.h"
#include "cmdline/command_line.h"
#include "platform/framework/headless/headless.h"
#include "support/pty.h"
#include "ui/zandrel_dlg.h"

namespace {

const char kWriting[] = "Status:  Data is being written to the port...";

class CommandLineSwitches : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Use(true);
        // A job started by mistake must not reach a real port of this machine.
        for (int n = 1; n <= 25; ++n)
            setenv(("ZANDREL_COM" + std::to_string(n)).c_str(), "/nonexistent/zandrel-port", 1);
    }

    // Runs the dialog's start with these words after the program path.
    void Start(CZandrelDlg& dlg, const std::string& words) {
        testsupport::SetCommandLine("zandrel " + words);
        ASSERT_TRUE(headless::Create(dlg));
        headless::RunUntilIdle();
    }
};

// The longest port text the port box opens, and one character more.
const std::string kLongestPath = "/" + std::string(254, 'p');
const std::string kTooLongPath = kLongestPath + "p";
const std::string kLongestPortSwitch = "-c " + kLongestPath;
const std::string kTooLongPortSwitch = "-c " + kTooLongPath;

struct Accepted {
    const char* words;
    int id;
    const char* text;
};

TEST_F(CommandLineSwitches, AcceptedValuesGoIntoTheirControls) {
    const Accepted cases[] = {
        {"-b 110", IDC_BAUD, "110"},
        {"-b 9600", IDC_BAUD, "9600"},
        {"-b 256000", IDC_BAUD, "256000"},
        {"-B 19200", IDC_BAUD, "19200"},
        {"/b 38400", IDC_BAUD, "38400"},
        {"-baud 56000", IDC_BAUD, "56000"},
        {"-bogus 57600", IDC_BAUD, "57600"},
        {"-b 9600 -b 19200", IDC_BAUD, "19200"},
        {"-c 1", IDC_COM_PORT, "COM1"},
        {"-c 7", IDC_COM_PORT, "COM7"},
        {"-c 25", IDC_COM_PORT, "COM25"},
        {"-c 07", IDC_COM_PORT, "COM07"},
        {"-c 3x", IDC_COM_PORT, "COM3x"},
        {"-C +4", IDC_COM_PORT, "COM+4"},
        {"-c /dev/ttyUSB0", IDC_COM_PORT, "/dev/ttyUSB0"},
        {"-c rfc2217://bench4:2217", IDC_COM_PORT, "rfc2217://bench4:2217"},
        {"-c tcp://[::1]:4001", IDC_COM_PORT, "tcp://[::1]:4001"},
        {"-c 2://x", IDC_COM_PORT, "2://x"},
        {kLongestPortSwitch.c_str(), IDC_COM_PORT, kLongestPath.c_str()},
        {"-d 5", IDC_DATA_BITS, "5"},
        {"-d 8", IDC_DATA_BITS, "8"},
        {"-d 7.5", IDC_DATA_BITS, "7.5"},
        {"-m 5", IDC_TIME_DELAY, "5"},
        {"-m 7", IDC_TIME_DELAY, "7"},
        {"-m 105", IDC_TIME_DELAY, "105"},
        {"-p none", IDC_PARITY, "NOPARITY"},
        {"-p Even", IDC_PARITY, "EVENPARITY"},
        {"-p o", IDC_PARITY, "ODDPARITY"},
        {"-p MARK", IDC_PARITY, "MARKPARITY"},
        {"-p s", IDC_PARITY, "SPACEPARITY"},
        {"-s 1", IDC_STOP_BITS, "1"},
        {"-s 1.5", IDC_STOP_BITS, "1.5"},
        {"-s 2", IDC_STOP_BITS, "2"},
        {"-f n", IDC_FLOW_CONTROL, "None"},
        {"-f XON", IDC_FLOW_CONTROL, "XON/XOFF"},
        {"-flow hard", IDC_FLOW_CONTROL, "RTS/CTS"},
        {"/F H", IDC_FLOW_CONTROL, "RTS/CTS"},
        {"-f dsr", IDC_FLOW_CONTROL, "RTS/CTS, DTR/DSR"},
        {"-f x -f n", IDC_FLOW_CONTROL, "None"},
        {"-t n", IDC_MODEM_LINES, "Off"},
        {"-t DTR", IDC_MODEM_LINES, "DTR on"},
        {"-t r", IDC_MODEM_LINES, "RTS on"},
        {"-T both", IDC_MODEM_LINES, "DTR and RTS on"},
        // The jobs start but find no port, silently.
        {"-w a.txt", IDC_SEND_FILE, "a.txt"},
        {"-r b.txt", IDC_CAPTURE_FILE, "b.txt"},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.words);
        CZandrelDlg dlg;
        Start(dlg, c.words);
        EXPECT_EQ(headless::ControlText(dlg, c.id), c.text);
        EXPECT_TRUE(headless::TakeMessageBoxes().empty());
        headless::Destroy(dlg);
    }
}

TEST_F(CommandLineSwitches, YesNoSwitchesTickOrClearTheirBox) {
    const std::tuple<const char*, int, bool> cases[] = {
        {"-l n -l yes", IDC_LOOP, true},          {"-l n -l Y", IDC_LOOP, true},
        {"-l n -l yellow", IDC_LOOP, true},       {"-l no", IDC_LOOP, false},
        {"-l N", IDC_LOOP, false},                {"-a y", IDC_ARRIVAL_TIMES, true},
        {"-A YES", IDC_ARRIVAL_TIMES, true},      {"-a y -a n", IDC_ARRIVAL_TIMES, false},
    };
    for (const auto& [words, control, ticked] : cases) {
        SCOPED_TRACE(words);
        CZandrelDlg dlg;
        Start(dlg, words);
        EXPECT_EQ(headless::ControlChecked(dlg, control), ticked);
        EXPECT_TRUE(headless::TakeMessageBoxes().empty());
        headless::Destroy(dlg);
    }
}

TEST_F(CommandLineSwitches, NoWordsChangeNothing) {
    CZandrelDlg dlg;
    Start(dlg, "");
    EXPECT_EQ(headless::ControlText(dlg, IDC_COM_PORT), "COM1");
    EXPECT_EQ(headless::ControlText(dlg, IDC_BAUD), "9600");
    EXPECT_EQ(headless::ControlText(dlg, IDC_SEND_FILE), "SendDataFile.txt");
    EXPECT_EQ(headless::ControlText(dlg, IDC_CAPTURE_FILE), "CaptureDataFile.txt");
    EXPECT_TRUE(headless::ControlChecked(dlg, IDC_LOOP));
    EXPECT_EQ(headless::ControlText(dlg, IDC_FLOW_CONTROL), "None");
    EXPECT_EQ(headless::ControlText(dlg, IDC_MODEM_LINES), "Off");
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
    EXPECT_TRUE(headless::ControlEnabled(dlg, IDC_WRITE_TO_PORT));
    headless::Destroy(dlg);
}

struct Rejected {
    const char* words;
    const char* caption;
    std::string text;
};

const std::string kBaudRates =
    "Supported Baud Rates are: 110, 300, 600, 1200, 2400, 4800, 9600, \n"
    "14400, 19200, 38400, 56000, 57600, 115200, 128000, and 256000 bps.";
const std::string kPorts = "\nSupported COM Port Numbers range from 1 to 25.";
const std::string kDataBits = "\nThe supported Number of Data Bits range from 5 to 8.";
const std::string kLoop = "\nSupported Loop switches are Yes and No.";
const std::string kArrival = "\nSupported Arrival Times switches are Yes and No.";
const std::string kDelay = " ms\nThe supported Time Delay ranges from 5 to 105 ms.";
const std::string kParity = "\nThe supported Parity types are None, Even, Odd, Mark, \nand Space Parity.";
const std::string kStopBits = "\nSupported Numbers of Stop Bits are: 1, 1.5, and 2.";
const std::string kFlow = "\nThe supported Flow Control types are None, XON/XOFF, \nRTS/CTS (h) and RTS/CTS with DTR/DSR (d).";
const std::string kLines = "\nThe supported Modem Lines settings are None, DTR, RTS, \nand Both (held on during the job).";
const std::string kParameters =
    "\nSupported Parameters are: \n-b\t\tBuad rate\n-c\t\tCom port\n-d\t\tData bits\n-l\t\tLoop switch\n"
    "-p\t\tParity\n-r     Recieve file\n-s\t\tStop bits\n-w\t\tWrite file";

TEST_F(CommandLineSwitches, RejectedValuesShowTheirMessage) {
    const char* const baud = "Zandrel: Unsupported Buad Rate";
    const char* const port = "Zandrel: Unsupported COM Port Number";
    const char* const bits = "Zandrel: Unsupported Number of Data Bits";
    const char* const loop = "Zandrel: Unsupported Loop Switch";
    const char* const delay = "Zandrel: Unsupported Time Delay";
    const char* const parity = "Zandrel: Unsupported Parity";
    const char* const stop = "Zandrel: Unsupported Number of Stop Bits";
    const char* const param = "Zandrel: Unsupported Parameter";
    const char* const flow = "Zandrel: Unsupported Flow Control";
    const char* const lines = "Zandrel: Unsupported Modem Lines";
    const char* const arrival = "Zandrel: Unsupported Arrival Times Switch";
    const Rejected cases[] = {
        {"-a 1", arrival, "Unsupported Arrival Times Switch: 1" + kArrival},
        {"-a", arrival, "Unsupported Arrival Times Switch: " + kArrival},
        {"-f s", flow, "Unsupported Flow Control: s" + kFlow},
        {"-f rts", flow, "Unsupported Flow Control: rts" + kFlow},
        {"-f", flow, "Unsupported Flow Control: " + kFlow},
        {"-t x", lines, "Unsupported Modem Lines: x" + kLines},
        {"-t", lines, "Unsupported Modem Lines: " + kLines},
        {"-b 09600", baud, "Unsupported Buad Rate: 09600 bps\n" + kBaudRates},
        {"-b 96", baud, "Unsupported Buad Rate: 96 bps\n" + kBaudRates},
        {"-b +9600", baud, "Unsupported Buad Rate: +9600 bps\n" + kBaudRates},
        {"-b", baud, "Unsupported Buad Rate:  bps\n" + kBaudRates},
        {"-b -c 3", baud, "Unsupported Buad Rate: -c bps\n" + kBaudRates},
        {"-c 0", port, "Unsupported COM Port Number: 0" + kPorts},
        {"-c 26", port, "Unsupported COM Port Number: 26" + kPorts},
        {"-c", port, "Unsupported COM Port Number: " + kPorts},
        {"-c 4294967297", port, "Unsupported COM Port Number: 4294967297" + kPorts},
        {"-c dev/ttyUSB0", port, "Unsupported COM Port Number: dev/ttyUSB0" + kPorts},
        {kTooLongPortSwitch.c_str(), port, "Unsupported COM Port Number: " + kTooLongPath + kPorts},
        {"-d 4", bits, "Unsupported Number of Data Bits: 4" + kDataBits},
        {"-d 9", bits, "Unsupported Number of Data Bits: 9" + kDataBits},
        {"-l 1", loop, "Unsupported Loop Switch: 1" + kLoop},
        {"-l", loop, "Unsupported Loop Switch: " + kLoop},
        {"-m 4", delay, "Unsupported Time Delay: 4" + kDelay},
        {"-m 106", delay, "Unsupported Time Delay: 106" + kDelay},
        {"-m -4294967291", delay, "Unsupported Time Delay: -4294967291" + kDelay},
        {"-p x", parity, "Unsupported Parity: x" + kParity},
        {"-p", parity, "Unsupported Parity: " + kParity},
        {"-s 1.0", stop, "Unsupported Number of Stop Bits: 1.0" + kStopBits},
        {"-s", stop, "Unsupported Number of Stop Bits: " + kStopBits},
        {"-x 1", param, "Unsupported Parameter: -1" + kParameters},
        {"5", param, "Unsupported Parameter: -5" + kParameters},
        {"- 5", param, "Unsupported Parameter: -5" + kParameters},
        {"-\xC4 9600", param, "Unsupported Parameter: -9600" + kParameters},
    };
    for (const Rejected& c : cases) {
        SCOPED_TRACE(c.words);
        CZandrelDlg dlg;
        Start(dlg, c.words);
        const auto boxes = headless::TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
        // Only a switch the program does not have sends the reader to the full list.
        const std::vector<std::string> hint{"zandrel -h lists every switch"};
        EXPECT_EQ(headless::TakeJobNotices(), c.caption == param ? hint : std::vector<std::string>{});
        headless::Destroy(dlg);
    }
}

TEST_F(CommandLineSwitches, FirstRejectionEndsTheWalkAndKeepsEarlierValues) {
    CZandrelDlg dlg;
    Start(dlg, "-c 3 -w a.txt -b 1 -d 7 -b 2");
    const auto boxes = headless::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unsupported Buad Rate: 1 bps\n" + kBaudRates);
    EXPECT_EQ(headless::ControlText(dlg, IDC_COM_PORT), "COM3");
    EXPECT_EQ(headless::ControlText(dlg, IDC_SEND_FILE), "a.txt");
    EXPECT_EQ(headless::ControlText(dlg, IDC_DATA_BITS), "8");
    EXPECT_TRUE(headless::ControlEnabled(dlg, IDC_WRITE_TO_PORT));
    EXPECT_EQ(headless::ControlText(dlg, IDC_STATUS), "");
    headless::Destroy(dlg);
}

TEST_F(CommandLineSwitches, RejectionBeforeAFileSwitchLeavesItsName) {
    CZandrelDlg dlg;
    Start(dlg, "-b 1 -w a.txt");
    EXPECT_EQ(headless::TakeMessageBoxes().size(), 1u);
    EXPECT_EQ(headless::ControlText(dlg, IDC_SEND_FILE), "SendDataFile.txt");
    headless::Destroy(dlg);
}

// Jobs, on a pseudo-terminal mapped as COM7 and files in a directory of the test's own.
class CommandLineJobs : public CommandLineSwitches {
protected:
    void SetUp() override {
        CommandLineSwitches::SetUp();
        m_pty.MapAs(7);
        m_dir = testsupport::MakeTestDirectory("zandrel-cmdline");
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    testsupport::Pty m_pty;
    std::filesystem::path m_dir;
};

TEST_F(CommandLineJobs, LaterReceiveSwitchStartsTheCapture) {
    const std::string send = PathOf("a.txt");
    const std::string capture = PathOf("b.txt");
    std::ofstream(send) << "AB";
    CZandrelDlg dlg;
    Start(dlg, "-c 7 -w " + send + " -r " + capture);
    EXPECT_EQ(headless::ControlText(dlg, IDC_SEND_FILE), send);
    EXPECT_EQ(headless::ControlText(dlg, IDC_CAPTURE_FILE), capture);
    EXPECT_FALSE(headless::ControlEnabled(dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_EQ(headless::ControlText(dlg, IDC_STATUS), "");

    m_pty.Send("Hi");
    EXPECT_TRUE(headless::DispatchUntil([&] { return Contents(capture) == "Hi"; }, 5000));
    headless::Advance(100);
    EXPECT_EQ(m_pty.ReceiveFor(50), "");  // nothing is sent
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
    headless::Destroy(dlg);
}

TEST_F(CommandLineJobs, LaterWriteSwitchStartsTheWrite) {
    const std::string send = PathOf("a.txt");
    std::ofstream(send) << "AB";
    CZandrelDlg dlg;
    Start(dlg, "-c 7 -r " + PathOf("b.txt") + " -m 5 -l n -w " + send);
    EXPECT_EQ(headless::ControlText(dlg, IDC_STATUS), kWriting);
    EXPECT_FALSE(headless::ControlEnabled(dlg, IDC_WRITE_TO_PORT));
    headless::Advance(15);
    EXPECT_EQ(m_pty.Receive(2), "AB");
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
    headless::Destroy(dlg);
}

TEST_F(CommandLineJobs, MissingSendFileIsReportedByTheWrite) {
    CZandrelDlg dlg;
    Start(dlg, "-c 7 -w " + PathOf("missing.txt"));
    const auto boxes = headless::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "File not found.");
    headless::Destroy(dlg);
}

TEST_F(CommandLineJobs, ReceiveSwitchAsLastWordStartsACaptureWithNoName) {
    CZandrelDlg dlg;
    Start(dlg, "-c 7 -r");
    EXPECT_EQ(headless::ControlText(dlg, IDC_CAPTURE_FILE), "");
    const auto boxes = headless::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Incorrect file name");
    headless::Destroy(dlg);
}

}  // namespace
