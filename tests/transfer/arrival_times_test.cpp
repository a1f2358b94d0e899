// Arrival times over a real pseudo-terminal: a capture writes its _time
// companion, and Write to Port replays the capture as it was recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using ArrivalTimes = DialogOnPty;
using headless::TakeMessageBoxes;

std::vector<std::vector<std::string>> Rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream fieldsIn(line);
        for (std::string field; std::getline(fieldsIn, field, ',');) fields.push_back(field);
        if (line.back() == ',') fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

TEST_F(ArrivalTimes, ACaptureRecordsItsPacketsAndItsReplayGivesThemBackByteForByteInTime) {
    headless::Click(m_dlg, IDC_ARRIVAL_TIMES);
    StartCapture(Path("cap.txt"));
    const std::string bytes = AllByteValues();
    // Three packets 60 ms apart: three records.
    ASSERT_TRUE(ReceiveInto(bytes.substr(0, 100), Path("cap.txt"), 100));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(ReceiveInto(bytes.substr(100, 100), Path("cap.txt"), 200));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(ReceiveInto(bytes.substr(200), Path("cap.txt"), 256));
    headless::Click(m_dlg, IDC_STOP);

    EXPECT_EQ(ReadFile(Path("cap.txt")), bytes);
    const auto rows = Rows(ReadFile(Path("cap_time.txt")));
    ASSERT_EQ(rows.size(), 6u) << ReadFile(Path("cap_time.txt"));
    EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "offset", "bytes", "event"}));
    EXPECT_EQ(rows[1][3], "start " + m_pty.SlavePath() + " 9600 8N1");
    const std::vector<std::pair<std::string, std::string>> data = {{"0", "100"}, {"100", "100"}, {"200", "56"}};
    for (size_t i = 0; i < data.size(); ++i) {
        EXPECT_EQ(rows[2 + i][1], data[i].first);
        EXPECT_EQ(rows[2 + i][2], data[i].second);
        EXPECT_EQ(rows[2 + i][3], "");
    }
    EXPECT_EQ(rows[5], (std::vector<std::string>{rows[5][0], "256", "0", "end"}));
    EXPECT_LT(rows[2][0], rows[3][0]);

    // The replay, with Loop, twice through: every byte value, each record on its schedule.
    headless::Type(m_dlg, IDC_SEND_FILE, Path("cap.txt").c_str());
    SetLoop(true);
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    EXPECT_TRUE(TakeMessageBoxes().empty());
    std::string received;
    std::vector<std::pair<size_t, std::chrono::steady_clock::time_point>> arrivals;
    const auto start = std::chrono::steady_clock::now();
    while (received.size() < 2 * bytes.size() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        headless::Advance(3);
        const std::string got = m_pty.ReceiveFor(3);  // waits the 3 ms when nothing comes
        if (!got.empty()) arrivals.emplace_back(received.size(), std::chrono::steady_clock::now());
        received += got;
    }
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_EQ(received.substr(0, 2 * bytes.size()), bytes + bytes);
    // The second packet came about 60 ms after the first, not at once.
    for (const auto& [offset, at] : arrivals) {
        if (offset == 100) {
            EXPECT_GT(at - arrivals.front().second, std::chrono::milliseconds(40));
        }
    }
}

// The rows of a pass go with its data: while the _time file cannot take them,
// the data waits in the port with them, and both come once it can.
TEST_F(ArrivalTimes, DataWaitsWithItsRowsWhileTheTimeFileCannotBeWritten) {
    headless::Click(m_dlg, IDC_ARRIVAL_TIMES);
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("ab", Path("cap.txt"), 2));
    std::filesystem::rename(Path("cap_time.txt"), Path("kept.txt"));
    std::filesystem::create_directory(Path("cap_time.txt"));
    m_pty.Send("cd");
    DispatchFor(300);
    m_pty.Send("ef");
    DispatchFor(300);
    EXPECT_EQ(ReadFile(Path("cap.txt")), "abcd");  // the pass's data went in; its rows did not
    std::filesystem::remove(Path("cap_time.txt"));
    std::filesystem::rename(Path("kept.txt"), Path("cap_time.txt"));
    EXPECT_TRUE(ReceiveInto("g", Path("cap.txt"), 7));
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_EQ(ReadFile(Path("cap.txt")), "abcdefg");
    std::vector<std::pair<std::string, std::string>> data;
    for (const auto& row : Rows(ReadFile(Path("cap_time.txt"))))
        if (row.size() == 4 && row[3].empty()) data.emplace_back(row[1], row[2]);
    EXPECT_EQ(data, (std::vector<std::pair<std::string, std::string>>{{"0", "2"}, {"2", "2"}, {"4", "2"}, {"6", "1"}}));
    headless::TakeJobFaults();
}

TEST_F(ArrivalTimes, AReplayWithoutAMatchingCompanionSendsNothingAndSaysWhy) {
    headless::Click(m_dlg, IDC_ARRIVAL_TIMES);
    const struct {
        const char* companion;  // null: none
        std::string box;
    } cases[] = {
        {nullptr, " is missing"},
        {"time,offset,bytes,event\n2026-12-09T22:30:00.000000Z,1,3,\n", " line 2: its data starts at 1, not at 0"},
        {"time,offset,bytes,event\n2026-12-09T22:30:00.000000Z,0,3,\n", " covers 3 of the file's 4 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        std::filesystem::remove(Path("send_time.txt"));
        if (c.companion) WriteFile(Path("send_time.txt"), c.companion);
        StartWrite("abcd", "5", false);
        const auto boxes = TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  "Cannot replay " + Path("send.txt").string() + ": " + Path("send_time.txt").string() + c.box);
        EXPECT_EQ(Tick(50), "");
        headless::Click(m_dlg, IDC_STOP);
    }
}

}  // namespace
}  // namespace transfertest
