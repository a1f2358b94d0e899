// Capture with arrival times: the _time companion beside the capture and its
// _asci companion, written by the same rule (opened, appended and closed in
// each pass), with a row for each record of received data and for each thing
// that happened to the line.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "transfer/arrival_rows.h"
#include "transfer/capture_file.h"
#include "ui/zandrel_dlg.h"

namespace {

// "9600 8N1", "300 7E1.5": the rate, data bits, parity letter and stop bits the line runs.
std::string SettingsText(DWORD dwBaud, int nDataBits, int nParity, int nStopBits) {
    static const char kParityLetters[] = "NOEMS";
    static const char* const kStopBits[] = {"1", "1.5", "2"};
    const char chParity = nParity >= 0 && nParity <= 4 ? kParityLetters[nParity] : '?';
    const char* pszStop = nStopBits >= 0 && nStopBits <= 2 ? kStopBits[nStopBits] : "?";
    return std::to_string(dwBaud) + ' ' + std::to_string(nDataBits) + chParity + pszStop;
}

ULONGLONG FileSizeOrZero(const char* pszFileName) {
    std::error_code error;
    const auto nSize = std::filesystem::file_size(pszFileName, error);
    return error ? 0 : static_cast<ULONGLONG>(nSize);
}

}  // namespace

bool CZandrelDlg::IsArrivalTimesChecked() {
    return GetDlgItem(IDC_ARRIVAL_TIMES)->SendMessage(BM_GETCHECK) == BST_CHECKED;
}

void CZandrelDlg::BeginArrivalTimes() {
    const CArrivalClock clock = CArrivalClock::Start();
    m_nTimeStartMicros = clock.StartMicros();
    m_llTimeStart = clock.StartTime();
    m_timeEvents.clear();
    m_strTimeRowsWaiting.clear();
    TakeLineCountBaseline();
    m_bTimeEndDue = true;
    const std::string strDevice = static_cast<const char*>(JobDevicePath());
    m_timeEvents.emplace_back(m_llTimeStart, "start " + strDevice + ' ' +
                                                 SettingsText(m_Port.GetBaudRate(), m_Port.GetDataBits(),
                                                              m_Port.GetParity(), m_Port.GetStopBits()));
    FlushTimeRows();
}

void CZandrelDlg::TakeLineCountBaseline() {
    if (m_Port.GetLostCount(m_nTimeLostBefore) != 0) m_nTimeLostBefore = 0;
    if (m_Port.GetErrorCounts(m_nTimeFramesBefore, m_nTimeParitiesBefore) != 0)
        m_nTimeFramesBefore = m_nTimeParitiesBefore = 0;
}

void CZandrelDlg::NoteTimeEvent(const std::string& strEvent) {
    m_timeEvents.emplace_back(CArrivalClock::Now(), strEvent);
}

// A notification's line errors and events: a break, and by the driver's
// counts since the last such row, bytes lost and characters received with a
// framing or a parity error.
void CZandrelDlg::NoteLineEvents(WORD wErrors, WORD wEvents) {
    if ((wEvents & EV_BREAK) != 0 || (wErrors & CE_BREAK) != 0) NoteTimeEvent("break");
    auto noteCount = [&](const char* pszEvent, ULONGLONG nNow, ULONGLONG& nBefore) {
        if (nNow > nBefore) NoteTimeEvent(pszEvent + std::to_string(nNow - nBefore));
        nBefore = nNow;
    };
    ULONGLONG nLost = 0;
    if ((wErrors & (CE_OVERRUN | CE_RXOVER)) != 0 && m_Port.GetLostCount(nLost) == 0)
        noteCount("overrun ", nLost, m_nTimeLostBefore);
    ULONGLONG nFrames = 0, nParities = 0;
    if ((wErrors & (CE_FRAME | CE_RXPARITY)) != 0 && m_Port.GetErrorCounts(nFrames, nParities) == 0) {
        noteCount("framing ", nFrames, m_nTimeFramesBefore);
        noteCount("parity ", nParities, m_nTimeParitiesBefore);
    }
}

void CZandrelDlg::AddPassTimeRows(ULONGLONG nOffset) {
    const CArrivalClock clock(m_nTimeStartMicros, m_llTimeStart);
    ArrivalRecord records[CAPTURE_CHUNK_SIZE];
    const size_t nRecords = CutRecords(m_chunkArrivals, m_nChunkArrivals, m_nChunkBytes, records);
    // Bytes that waited in the port from its open until the job asked for times count as arriving at its start.
    for (size_t r = 0; r < nRecords; ++r) records[r].llTime = std::max(records[r].llTime, m_llTimeStart);
    auto event = m_timeEvents.begin();
    for (size_t r = 0; r < nRecords; ++r) {
        // Events come in time order with the data: those before the record first, where the file ended then.
        for (; event != m_timeEvents.end() && event->first < records[r].llTime; ++event)
            m_strTimeRowsWaiting += TimeRow(clock.UtcMicros(event->first), nOffset + records[r].dwStart, 0, event->second);
        m_strTimeRowsWaiting += TimeRow(clock.UtcMicros(records[r].llTime), nOffset + records[r].dwStart,
                                        records[r].dwBytes, "");
    }
    m_timeEvents.erase(m_timeEvents.begin(), event);
}

void CZandrelDlg::AddEventTimeRows() {
    const CArrivalClock clock(m_nTimeStartMicros, m_llTimeStart);
    const ULONGLONG nSize = FileSizeOrZero(m_strFileName);
    for (const auto& [llTime, strEvent] : m_timeEvents)
        m_strTimeRowsWaiting += TimeRow(clock.UtcMicros(llTime), nSize, 0, strEvent);
    m_timeEvents.clear();
}

void CZandrelDlg::FlushTimeRows() {
    AddEventTimeRows();
    CString strFault;
    if (!m_bCaptureHeld && !WriteWaitingTimeRows(strFault)) HoldCapture(strFault);
}

bool CZandrelDlg::WriteWaitingTimeRows(CString& strFault) {
    if (m_strTimeRowsWaiting.empty()) return true;
    CCaptureFile times(m_strTimeFileName);
    const bool bNew = times.IsOpen() && times.Length() == 0;
    std::string strText = bNew ? TIME_HEADER + m_strTimeRowsWaiting : m_strTimeRowsWaiting;
    if (!times.IsOpen() || !times.Append(strText.data(), strText.size()) || !times.Close()) {
        strFault = times.FaultText().c_str();
        return false;
    }
    m_strTimeRowsWaiting.clear();
    return true;
}

void CZandrelDlg::EndArrivalTimes() {
    if (!m_bTimeEndDue) return;
    m_bTimeEndDue = false;
    NoteTimeEvent("end");
    // The job is over: rows the file does not take now are told, not held for.
    AddEventTimeRows();
    CString strFault;
    if (!WriteWaitingTimeRows(strFault)) TellCaptureFault(strFault);
}
