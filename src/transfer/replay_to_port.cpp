// Write to Port with arrival times: the send file, read as raw bytes, goes out
// as its _time companion recorded it, each record at its time after the
// first, measured from the replay's start on a schedule that never drifts.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "transfer/arrival_rows.h"
#include "transfer/arrival_schedule.h"
#include "ui/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr LONGLONG NS_PER_MS = 1'000'000;
// A record due within this is sent now: the timer counts whole milliseconds.
constexpr LONGLONG EARLY_ENOUGH_NS = NS_PER_MS / 2;
// While the line does not take a record, it is offered again this often.
constexpr UINT HELD_RETRY_MS = 5;
// A record is read and offered this much at a time: a companion may make the whole file one record.
constexpr size_t REPLAY_BUFFER_SIZE = 4096;

// The schedule from the companion beside the file; false with why it cannot be replayed.
bool LoadSchedule(const CString& strFileName, std::vector<ReplayRecord>& records, std::string& strWhy) {
    const CString strTimeName = CompanionFileName(strFileName, "_time");
    const std::string strShown = static_cast<const char*>(AfxVisibleText(strTimeName));
    std::error_code error;
    if (!std::filesystem::exists(static_cast<const char*>(strTimeName), error)) {
        strWhy = strShown + " is missing";
        return false;
    }
    std::ifstream in(static_cast<const char*>(strTimeName), std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        strWhy = "cannot read " + strShown + ": " + std::strerror(errno);
        return false;
    }
    const auto nSize = std::filesystem::file_size(static_cast<const char*>(strFileName), error);
    if (error) {
        strWhy = "cannot read its size: " + error.message();
        return false;
    }
    return ParseReplaySchedule(text.str(), strShown, static_cast<ULONGLONG>(nSize), records, strWhy);
}

}  // namespace

bool CZandrelDlg::StartReplay() {
    std::string strWhy;
    if (!LoadSchedule(m_strFileName, m_replay, strWhy)) {
        MessageBox("Cannot replay " + AfxVisibleText(m_strFileName) + ": " + strWhy.c_str(), nullptr, MB_OK);
        return false;
    }
    m_nReplayNext = 0;
    m_nReplayRecordLeft = 0;
    m_replayHeld.resize(REPLAY_BUFFER_SIZE);
    m_nReplayHeldLength = m_nReplayHeldSent = 0;
    return true;
}

ULONGLONG CZandrelDlg::ReplayBytes() const {
    return m_replay.empty() ? 0 : m_replay.back().nOffset + m_replay.back().nBytes;
}

void CZandrelDlg::ScheduleReplay() {
    if (m_nReplayNext >= m_replay.size()) {
        SetTimer(SEND_TIMER_ID, 1, nullptr);
        return;
    }
    const LONGLONG llDue = m_llReplayStart + m_replay[m_nReplayNext].nMicros * 1000;
    const LONGLONG llLeft = llDue - CArrivalClock::Now();
    const LONGLONG llMs = (llLeft + NS_PER_MS / 2) / NS_PER_MS;
    SetTimer(SEND_TIMER_ID, static_cast<UINT>(std::clamp<LONGLONG>(llMs, 1, 0x7FFFFFFF)), nullptr);
}

// Sends every record that is due, a late one at once; the schedule stays.
void CZandrelDlg::ReplayDue() {
    if (m_bSendEnding) {
        FinishSendWhenLineEmpty();
        return;
    }
    for (;;) {
        if (m_nReplayHeldSent < m_nReplayHeldLength) {
            DWORD dwWritten = 0;
            const DWORD dwLeft = static_cast<DWORD>(m_nReplayHeldLength - m_nReplayHeldSent);
            LONG nResult = 0;
            if (m_Port.IsOpen())
                nResult = m_Port.Write(m_replayHeld.data() + m_nReplayHeldSent, dwLeft, &dwWritten, nullptr, 0);
            else
                dwWritten = dwLeft;  // without a port the bytes are dropped, as a write's are
            m_nReplayHeldSent += dwWritten;
            m_nPassChars += dwWritten;
            if (dwWritten > 0) AfxReportJobProgress(dwWritten);
            if (nResult == ERROR_DEVICE_NOT_CONNECTED || nResult == ERROR_OPERATION_ABORTED) return;
            if (m_nReplayHeldSent < m_nReplayHeldLength) {
                TellLinePace(m_linePace.Held());
                SetTimer(SEND_TIMER_ID, HELD_RETRY_MS, nullptr);
                return;
            }
            TellLinePace(m_linePace.Took());
        }
        if (m_nReplayRecordLeft > 0) {
            const size_t nWanted = static_cast<size_t>(std::min<ULONGLONG>(m_nReplayRecordLeft, m_replayHeld.size()));
            m_nReplayHeldLength = std::fread(m_replayHeld.data(), 1, nWanted, m_pSendFile);
            m_nReplayHeldSent = 0;
            m_nReplayRecordLeft -= nWanted;
            // The file changed under the replay: what is left of it no longer matches its times.
            if (m_nReplayHeldLength != nWanted) {
                m_nReplayRecordLeft = 0;
                m_nReplayNext = m_replay.size();
            }
            continue;
        }
        if (m_nReplayNext >= m_replay.size()) break;
        const ReplayRecord& record = m_replay[m_nReplayNext];
        if (m_llReplayStart + record.nMicros * 1000 > CArrivalClock::Now() + EARLY_ENOUGH_NS) {
            ScheduleReplay();
            return;
        }
        m_nReplayRecordLeft = record.nBytes;
        ++m_nReplayNext;
    }
    // The end of the file: Loop starts it again, its time zero now, when the last byte was taken.
    if (!IsLoopChecked()) {
        m_bSendEnding = true;
        SetTimer(SEND_TIMER_ID, HELD_RETRY_MS, nullptr);  // until the line has sent it
        FinishSendWhenLineEmpty();
        return;
    }
    std::rewind(m_pSendFile);
    m_nReplayNext = 0;
    m_nPassChars = 0;
    m_llReplayStart = CArrivalClock::Now();
    std::error_code error;
    const auto nSize = std::filesystem::file_size(static_cast<const char*>(m_strFileName), error);
    AfxNextJobPass(error ? 0 : static_cast<ULONGLONG>(nSize));
    ScheduleReplay();
}
