// Write to Port: sends the send file to the port one character per timer tick.

#include <cstdio>

#include "transfer/arrival_rows.h"
#include "transfer/number_text.h"
#include "transfer/send_file.h"
#include "transfer/text_mode_reader.h"
#include "ui/port_settings.h"
#include "ui/zandrel_dlg.h"

void CZandrelDlg::OnWriteToPort() {
    ClosePort();

    if (!OpenJobPort()) return;
    m_eJob = JobWrite;
    const bool bSettingsKept = !ConfigureJobPort();

    GetDlgItemText(IDC_SEND_FILE, m_strFileName);
    CString strTimeDelay;
    GetDlgItemText(IDC_TIME_DELAY, strTimeDelay);

    if (m_strFileName == "") {
        MessageBox("Incorrect file name", nullptr, MB_OK);
        m_pSendFile = nullptr;
        return;
    }
    m_pSendFile = OpenSendFile(m_strFileName);
    if (m_pSendFile == nullptr) {
        MessageBox("File not found.", nullptr, MB_OK);
        return;
    }

    m_bArrivalTimes = IsArrivalTimesChecked();
    if (m_bArrivalTimes && !StartReplay()) {
        std::fclose(m_pSendFile);
        m_pSendFile = nullptr;
        return;
    }
    // Counted before the tick grid starts: a big file takes a few milliseconds.
    const ULONGLONG nSendChars = m_bArrivalTimes ? ReplayBytes() : SendFileChars(m_pSendFile);
    // An id that is still running after Stop is replaced, so the new period applies.
    m_nSendPeriod = SendTimerPeriod(strTimeDelay);
    m_nHeldChar = -1;
    m_nPassChars = 0;
    m_bSendEnding = false;
    m_linePace.Reset();
    if (!m_bArrivalTimes) SetTimer(SEND_TIMER_ID, m_nSendPeriod, nullptr);
    m_bSending = true;
    // Across the network what is known is what reached the server: it, not
    // this program, paces the line and holds it for flow control.
    DWORD dwPortKind = 0;
    const char* pszTo = m_Port.GetProviderSubType(dwPortKind) == 0 && dwPortKind == PST_TCPIP_TELNET ? "the server" : nullptr;
    if (m_bArrivalTimes)
        AfxBeginJobProgress(AFX_JOB_REPLAY, AfxVisibleText(m_strFileName), nSendChars,
                            static_cast<UINT>(m_replay.empty() ? 0 : m_replay.back().nMicros / 1000), IsLoopChecked(),
                            pszTo);
    else
        AfxBeginJobProgress(AFX_JOB_WRITE, AfxVisibleText(m_strFileName), nSendChars, m_nSendPeriod, IsLoopChecked(),
                            pszTo);
    ShowStatus(WRITING_STATUS);
    EnableJobButtons(FALSE);
    if (bSettingsKept) ShowSettingsKept();
    if (m_bArrivalTimes) {
        // The schedule starts now: the first record goes at once.
        m_llReplayStart = CArrivalClock::Now();
        ReplayDue();
    }
}

void CZandrelDlg::OnTimer(UINT nIDEvent) {
    // After Stop the timer goes on firing; its ticks find no file.
    if (nIDEvent == SEND_TIMER_ID && m_pSendFile != nullptr) {
        if (m_bArrivalTimes)
            ReplayDue();
        else
            SendNextChar();
    }
    if (nIDEvent == RECONNECT_TIMER_ID) TryReconnect(true);
    if (nIDEvent == DTR_HINT_TIMER_ID) OnDtrHintTimer();
    if (nIDEvent == STATUS_TIMER_ID) OnStatusTimer();
    if (nIDEvent == CAPTURE_RETRY_TIMER_ID && m_eJob == JobCapture && m_Port.IsOpen()) {
        while (CapturePass()) {
        }
    }
    Default();
}

void CZandrelDlg::SendNextChar() {
    if (m_bSendEnding) {
        FinishSendWhenLineEmpty();
        return;
    }
    if (m_nHeldChar < 0) {
        TextModeChar c = ReadTextModeChar(m_pSendFile);
        if (c.bEnd) {
            EndSendPass();
            return;
        }
        m_nHeldChar = c.nChar;
    }
    const EOffer eOffer = OfferHeldChar();
    // The device went away with it: its notice follows, and the character goes first when it is back.
    if (eOffer == OfferDeviceGone) return;
    if (eOffer == OfferHeld) {
        TellLinePace(m_linePace.Held());
        return;
    }
    m_nHeldChar = -1;
    ++m_nPassChars;
    AfxReportJobProgress(1);
    TellLinePace(m_linePace.Took());
}

CZandrelDlg::EOffer CZandrelDlg::OfferHeldChar() {
    // A NUL gives an empty string: nothing is sent, but the tick is used.
    // Without a port the character is dropped.
    if (m_nHeldChar == 0 || !m_Port.IsOpen()) return OfferTaken;
    // A line still sending earlier characters is slower than the tick: the
    // character waits rather than pile up in the driver ahead of the line.
    DWORD dwUnsent = 0;
    if (m_Port.GetUnsentCount(dwUnsent) == 0 && dwUnsent > 0) return OfferHeld;
    const char szChar[2] = {static_cast<char>(m_nHeldChar), '\0'};
    DWORD dwWritten = 0;
    // Offered, never waited for: a tick must not hold the user-interface
    // thread, and a character the line does not take now is offered again on
    // the next tick, so none is skipped and none sent twice.
    const LONG nResult = m_Port.WriteString(szChar, &dwWritten, nullptr, 0);
    if (nResult == 0 && dwWritten == 1) return OfferTaken;
    if (nResult == ERROR_DEVICE_NOT_CONNECTED || nResult == ERROR_OPERATION_ABORTED) return OfferDeviceGone;
    return OfferHeld;
}

void CZandrelDlg::TellLinePace(CLinePace::ENews eNews) {
    if (eNews == CLinePace::NoNews) return;
    CString strNews = JobDevicePath();
    const char* pszHeld = "at the line's pace";
    switch (eNews) {
    case CLinePace::NotTaking:
        pszHeld = LineHoldReason();
        strNews += CString(" is not taking data") + (*pszHeld != '\0' ? CString(" (") + pszHeld + ")" : CString());
        strNews += m_bSendEnding ? CString("; the end of the file waits to be sent")
                                 : "; holding the file at character " + GroupedNumber(m_nPassChars + 1);
        if (*pszHeld == '\0') pszHeld = "not taking data";
        break;
    case CLinePace::Slower:
        strNews += " is slower than the time delay; sending at the line's pace";
        break;
    default:
        strNews += " is taking data again; write resumed";
        break;
    }
    // Behind the ticks, the time left at one character a tick would be wrong.
    AfxHoldJobProgress(m_linePace.IsBehind(), pszHeld);
    ShowStatus(eNews == CLinePace::TakingAgain ? CString(WRITING_STATUS) : FaultStatusText(strNews));
    // A line that holds and lets go again is told once a hold; a slow one once.
    if (eNews == CLinePace::Slower) AfxReportJobNotice(strNews);
    else AfxReportJobHold(strNews, eNews == CLinePace::NotTaking);
}

// What holds the line's output, where its driver tells: "XOFF received"; empty otherwise.
const char* CZandrelDlg::LineHoldReason() {
    static const char* const kReasons[] = {"", "XOFF received", "CTS is off", "DSR is off"};
    CSerialPort::ELineHold eHold = CSerialPort::HoldNone;
    m_Port.GetLineHold(eHold);
    return kReasons[eHold];
}

void CZandrelDlg::EndSendPass() {
    // The tick that meets the end of the file sends nothing.
    if (!IsLoopChecked()) {
        m_bSendEnding = true;
        FinishSendWhenLineEmpty();
        return;
    }
    std::fclose(m_pSendFile);
    m_pSendFile = nullptr;
    m_pSendFile = OpenSendFile(m_strFileName);
    if (m_pSendFile == nullptr) {
        // Ticks dispatched while the box is open find no file; the timer stops after it.
        MessageBox("File not found.", nullptr, MB_OK);
        m_pSendFile = nullptr;
        StopSendTimer();
        return;
    }
    m_nPassChars = 0;
    AfxNextJobPass(SendFileChars(m_pSendFile));
}

void CZandrelDlg::FinishSendWhenLineEmpty() {
    // The write is done once the line has sent what it took; what its chip
    // may still hold goes before the port's close puts the settings back.
    DWORD dwUnsent = 0;
    if (m_Port.GetUnsentCount(dwUnsent) == 0 && dwUnsent > 0) {
        TellLinePace(m_linePace.Held());
        return;
    }
    m_Port.DrainAtClose();
    if (m_linePace.IsBehind()) AfxReportJobNotice(JobDevicePath() + " has sent the end of the file");
    StopSendTimer();
    ShowStatus("");
}

void CZandrelDlg::StopSendTimer() {
    KillTimer(SEND_TIMER_ID);
    m_bSending = false;
    m_bSendEnding = false;
    m_linePace.Reset();
    AfxEndJobProgress();
}

bool CZandrelDlg::IsLoopChecked() {
    return GetDlgItem(IDC_LOOP)->SendMessage(BM_GETCHECK) == BST_CHECKED;
}
