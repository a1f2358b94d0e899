// Capture to File: what the port receives goes unchanged into the capture
// file and, as "%d|" codes of the low seven bits, into its companion.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "transfer/capture_file.h"
#include "transfer/number_text.h"
#include "ui/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD CHUNK_SIZE = CZandrelDlg::CAPTURE_CHUNK_SIZE;
constexpr int CODE_TEXT_SIZE = 4;  // "127|"

// What "%d|" gives for each value of the low seven bits, made once.
struct CodeText {
    char text[CODE_TEXT_SIZE];
    int nLength;
};
const std::array<CodeText, 128> CODE_TEXTS = [] {
    std::array<CodeText, 128> table{};
    for (int nCode = 0; nCode < 128; ++nCode) {
        char szCode[CODE_TEXT_SIZE + 1];
        table[nCode].nLength = std::snprintf(szCode, sizeof szCode, "%d|", nCode);
        std::memcpy(table[nCode].text, szCode, CODE_TEXT_SIZE);
    }
    return table;
}();

// The companion's text for the bytes; returns its length.
int FormatCodes(const char* pBytes, DWORD nCount, char* pszOut) {
    int nLength = 0;
    for (DWORD i = 0; i < nCount; ++i) {
        const CodeText& code = CODE_TEXTS[static_cast<unsigned char>(pBytes[i]) & 0x7F];
        std::memcpy(pszOut + nLength, code.text, CODE_TEXT_SIZE);
        nLength += code.nLength;
    }
    return nLength;
}

}  // namespace

void CZandrelDlg::OnCaptureToFile() {
    ClosePort();

    GetDlgItemText(IDC_CAPTURE_FILE, m_strFileName);
    if (m_strFileName == "") {
        MessageBox("Incorrect file name", nullptr, MB_OK);
        return;
    }
    m_strAsciFileName = CompanionFileName(m_strFileName);
    m_bArrivalTimes = IsArrivalTimesChecked();
    m_strTimeFileName = CompanionFileName(m_strFileName, "_time");
    if (!IsCaptureTarget(m_strFileName) || !IsCaptureTarget(m_strAsciFileName) ||
        (m_bArrivalTimes && !IsCaptureTarget(m_strTimeFileName))) {
        MessageBox("Incorrect file name", nullptr, MB_OK);
        return;
    }

    if (!OpenJobPort()) return;
    m_eJob = JobCapture;
    m_bChunkHeld = false;
    m_nChunkStored = 0;
    m_bFaultTold = false;
    m_bLineLossTold = false;
    m_nLineLostEarlier = 0;

    const bool bSettingsTaken = ConfigureJobPort();
    if (m_bArrivalTimes) BeginArrivalTimes();
    if (!bSettingsTaken) ShowSettingsKept();
    StartDtrHint();
    EnableJobButtons(FALSE);
    AfxBeginJobProgress(AFX_JOB_CAPTURE, AfxVisibleText(m_strFileName), 0, 0, FALSE);
}

LRESULT CZandrelDlg::OnComEvent(WPARAM wParam, LPARAM lParam) {
    const bool bTimes = m_eJob == JobCapture && m_bArrivalTimes && m_Port.IsOpen();
    if (bTimes) NoteLineEvents(HIWORD(wParam), LOWORD(wParam));
    if (m_eJob == JobCapture && (HIWORD(wParam) & (CE_OVERRUN | CE_RXOVER)) != 0) TellLineLoss();
    if ((LOWORD(wParam) & EV_RXCHAR) == 0) {
        if (bTimes) FlushTimeRows();
        return 0;
    }
    // A write job has no use for received data, but it must not fill the input queue.
    if (m_eJob == JobWrite) {
        while (DrainPass()) {
        }
        return 0;
    }
    // A burst is taken in chunks until a read comes back short.
    while (CapturePass()) {
    }
    if (bTimes) FlushTimeRows();
    return 0;
}

bool CZandrelDlg::DrainPass() {
    char chunk[CHUNK_SIZE];
    DWORD dwRead = 0;
    m_Port.Read(chunk, CHUNK_SIZE, &dwRead, nullptr, INFINITE);
    return dwRead == CHUNK_SIZE;
}

bool CZandrelDlg::CapturePass() {
    // Both files are opened before anything is read: while the capture file
    // cannot be opened, received data waits in the port.
    CCaptureFile capture(m_strFileName);
    if (!capture.IsOpen()) {
        HoldCapture(capture.FaultText().c_str());
        return false;
    }
    // Rows the _time file did not take go first; until they have, the data waits with them.
    CString strTimeFault;
    if (m_bArrivalTimes && !WriteWaitingTimeRows(strTimeFault)) {
        HoldCapture(strTimeFault);
        return false;
    }
    CCaptureFile companion(m_strAsciFileName);
    // A chunk that the capture file did not take last time is stored before
    // anything new is read; more has probably arrived behind it.
    const bool bWasHeld = m_bChunkHeld;
    if (!bWasHeld) ReadChunk();

    ShowPassStatus(m_captureChunk);

    // Where the chunk starts in the file, for its arrival times: part of a held one may be there already.
    const long long nChunkOffset = m_bArrivalTimes ? capture.Length() - m_nChunkStored : -1;
    if (!capture.Append(m_captureChunk + m_nChunkStored, m_nChunkBytes - m_nChunkStored)) {
        KeepPartOfChunk(capture.Kept());
        HoldCapture(capture.FaultText().c_str());
        return false;
    }
    m_bChunkHeld = false;
    m_nChunkStored = 0;
    AfxReportJobProgress(m_nChunkBytes);
    if (!capture.Close()) TellCaptureFault(capture.FaultText().c_str());
    // Rows the _time file does not take now wait for the next pass, which holds the data until they are in.
    if (m_bArrivalTimes && nChunkOffset >= 0) {
        AddPassTimeRows(static_cast<ULONGLONG>(nChunkOffset));
        if (!WriteWaitingTimeRows(strTimeFault)) TellCaptureFault(strTimeFault);
    }

    // The companion is derived from the capture: a pass it cannot take is
    // told and left out of it, and the capture goes on.
    char codes[CHUNK_SIZE * CODE_TEXT_SIZE];
    int nLength = FormatCodes(m_captureChunk, m_nChunkBytes, codes);
    if (!companion.IsOpen() || !companion.Append(codes, static_cast<size_t>(nLength)) || !companion.Close())
        TellCaptureFault(companion.FaultText().c_str());
    const bool bMoreWaiting = bWasHeld || m_nChunkBytes == CHUNK_SIZE;
    if (!bMoreWaiting) EndCaptureHold();
    return bMoreWaiting;
}

void CZandrelDlg::KeepPartOfChunk(size_t nKept) {
    if (nKept == 0) return;
    m_nChunkStored += static_cast<DWORD>(nKept);
    TellJobFault("another program wrote to " + AfxVisibleText(m_strFileName) + " during a pass that failed; its first " +
                 GroupedNumber(nKept) + " bytes stay in the file, the rest follows");
}

// While the capture file does not take data, nothing announces the data
// still arriving once the port's queue is full: the capture tries the file
// again by itself until it has caught up.
void CZandrelDlg::HoldCapture(const CString& strFault) {
    TellCaptureFault(strFault);
    if (m_bCaptureHeld) return;
    m_bCaptureHeld = true;
    m_bLostCounted = m_Port.GetLostCount(m_nLostBeforeHold) == 0;
    SetTimer(CAPTURE_RETRY_TIMER_ID, CAPTURE_RETRY_PERIOD, nullptr);
}

void CZandrelDlg::EndCaptureHold() {
    if (!m_bCaptureHeld) return;
    m_bCaptureHeld = false;
    KillTimer(CAPTURE_RETRY_TIMER_ID);
    // A fault that comes again is news again.
    m_bFaultTold = false;
    ULONGLONG nLost = 0;
    if (m_bLostCounted && m_Port.GetLostCount(nLost) == 0 && nLost > m_nLostBeforeHold) {
        TellJobFault(GroupedNumber(nLost - m_nLostBeforeHold) + " received bytes were lost by the line while " +
                     AfxVisibleText(m_strFileName) + " could not be written");
        return;
    }
    AfxReportJobNotice(AfxVisibleText(m_strFileName) + " takes data again; capture resumed");
}

void CZandrelDlg::ReadChunk() {
    DWORD dwRead = 0;
    // Non-blocking reads are in force: this returns at once with what has arrived.
    if (m_bArrivalTimes && m_eJob == JobCapture)
        m_Port.ReadArrivals(m_captureChunk, CHUNK_SIZE, &dwRead, m_chunkArrivals, CHUNK_SIZE, &m_nChunkArrivals);
    else
        m_Port.Read(m_captureChunk, CHUNK_SIZE, &dwRead, nullptr, INFINITE);
    m_captureChunk[dwRead] = '\0';
    m_nChunkBytes = dwRead;
    if (dwRead > 0) m_bCaptureReceived = true;
    m_bChunkHeld = true;
}

void CZandrelDlg::FinishCapture() {
    // Data that arrived but was not announced yet still reaches the files. The
    // files are only opened for data, so a capture that received nothing
    // creates nothing.
    do {
        if (!m_bChunkHeld) ReadChunk();
        if (m_nChunkBytes == 0) break;
    } while (CapturePass());
    if (m_bChunkHeld && m_nChunkBytes > 0) {
        // The held chunk and whatever still waits in the port close with it.
        ULONGLONG nLost = m_nChunkBytes - m_nChunkStored;
        for (ReadChunk(); m_nChunkBytes > 0; ReadChunk()) nLost += m_nChunkBytes;
        TellJobFault(GroupedNumber(nLost) + " received bytes could not be written to " + AfxVisibleText(m_strFileName));
    }
    m_bChunkHeld = false;
    m_nChunkStored = 0;
    if (m_bCaptureHeld) KillTimer(CAPTURE_RETRY_TIMER_ID);
    m_bCaptureHeld = false;
}

ULONGLONG CZandrelDlg::LineLostSoFar() {
    ULONGLONG nLost = 0;
    if (m_Port.IsOpen() && m_Port.GetLostCount(nLost) != 0) nLost = 0;
    return m_nLineLostEarlier + nLost;
}

// Each overrun the driver counts lost one byte or more: "at least".
void CZandrelDlg::TellLineLoss() {
    // A held capture tells what the line lost meanwhile when it catches up.
    if (m_bLineLossTold || m_bCaptureHeld) return;
    m_bLineLossTold = true;
    const ULONGLONG nLost = std::max<ULONGLONG>(LineLostSoFar(), 1);
    TellJobFault(JobDevicePath() + " overran: received bytes were lost by the line (at least " +
                 GroupedNumber(nLost) + ")");
}

void CZandrelDlg::TellLineLossAtEnd() {
    if (!m_bLineLossTold) return;
    m_bLineLossTold = false;
    const ULONGLONG nLost = std::max<ULONGLONG>(LineLostSoFar(), 1);
    m_nLineLostEarlier = 0;
    TellJobFault("received bytes lost by the line during the capture into " + AfxVisibleText(m_strFileName) + ": at least " +
                 GroupedNumber(nLost));
}

void CZandrelDlg::TellCaptureFault(const CString& strFault) {
    // A full disk fails every pass: the status line follows each, the console hears it once.
    if (m_bFaultTold) {
        ShowStatus(FaultStatusText(strFault));
        return;
    }
    m_bFaultTold = true;
    TellJobFault(strFault);
}
