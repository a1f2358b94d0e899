// The status line. A capture shows each pass's chunk there, and drawing a
// line of random bytes costs more than the pass that read them: while data
// streams, a pass's text is drawn at most four times a second, the last one
// always within a quarter second. Words about the job and its port are drawn
// at once, and a pass's text still waiting gives way to them.

#include <cstdio>

#include "ui/zandrel_dlg.h"

namespace {

constexpr char PASS_STATUS_PREFIX[] = "Status:  Reading data from the port... ";
static_assert(sizeof PASS_STATUS_PREFIX - 1 + CZandrelDlg::CAPTURE_CHUNK_SIZE < CZandrelDlg::PASS_STATUS_SIZE,
              "a full chunk fits the status line");

}  // namespace

void CZandrelDlg::ShowStatus(const CString& strStatus) {
    m_bPassStatusWaiting = false;
    // The next pass is drawn at once: its data is news after these words.
    if (m_bStatusPaced) KillTimer(STATUS_TIMER_ID);
    m_bStatusPaced = false;
    SetDlgItemText(IDC_STATUS, strStatus);
}

void CZandrelDlg::ShowPassStatus(const char* szChunk) {
    // The chunk up to its first NUL byte.
    std::snprintf(m_szPassStatus, sizeof m_szPassStatus, "%s%s", PASS_STATUS_PREFIX, szChunk);
    if (m_bStatusPaced) {
        m_bPassStatusWaiting = true;
        return;
    }
    SetDlgItemText(IDC_STATUS, m_szPassStatus);
    m_bStatusPaced = true;
    SetTimer(STATUS_TIMER_ID, STATUS_PERIOD, nullptr);
}

void CZandrelDlg::OnStatusTimer() {
    if (!m_bPassStatusWaiting) {
        // Nothing came in the last quarter second: the next pass is drawn at once.
        KillTimer(STATUS_TIMER_ID);
        m_bStatusPaced = false;
        return;
    }
    m_bPassStatusWaiting = false;
    SetDlgItemText(IDC_STATUS, m_szPassStatus);
}
