// The main dialog: the whole user interface and the owner of all job state.
// Its controls are the only store of the settings; the jobs read them back
// when they start. The job handlers live in transfer/, the command-line
// handler in cmdline/.
#pragma once

#include <cstdio>

#include "platform/framework/afxwin.h"
#include "serial/serial_wnd.h"
#include "ui/resource.h"

class CZandrelDlg : public CDialog {
public:
    explicit CZandrelDlg(CWnd* pParent = nullptr);
    ~CZandrelDlg() override;

    enum { IDD = IDD_ZANDREL_DIALOG };

    // The window timer that paces Write to Port.
    static constexpr UINT_PTR SEND_TIMER_ID = 1124;

    // The console run ends once this says no job is running.
    BOOL IsBusy() const override;

protected:
    CSerialDialogPort m_Port;
    FILE* m_pSendFile;
    CString m_strFileName;
    CString m_strAsciFileName;
    HICON m_hIcon;

    BOOL OnInitDialog() override;
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnWriteToPort();
    afx_msg void OnStop();
    afx_msg void OnClose();
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnBrowseSendFile();
    afx_msg void OnBrowseCaptureFile();
    afx_msg void OnCaptureToFile();
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
    afx_msg void OnPortTextChanged();
    afx_msg LRESULT OnComEvent(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnProcessCmdLine(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // The job the port was last opened for. The port notifies received data
    // during either job; only a capture keeps it, a write drains it.
    enum EJob { JobNone, JobWrite, JobCapture };
    EJob m_eJob = JobNone;
    // The send timer is running for a write in progress (not merely left
    // running after Stop, when its ticks find no file).
    bool m_bSending = false;

    void BrowseInto(int nIDEdit);
    // Tells the user, in the status line, which line settings the port refused and what it kept.
    void ShowSettingsKept();
    void CloseJob();  // port, then send file
    void SendNextChar();
    void StopSendTimer();
    bool IsLoopChecked();
    // One chunk of received data each; true when another chunk may be waiting.
    bool CapturePass();
    bool DrainPass();
};
