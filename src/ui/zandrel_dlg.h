// The main dialog: the whole user interface and the owner of all job state.
// Its controls are the only store of the settings; the jobs read them back
// when they start. The job handlers live in transfer/, the command-line
// handler in cmdline/: both build on this declaration, which needs nothing
// from them.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/framework/afxwin.h"
#include "serial/serial_wnd.h"
#include "serial/line_pace.h"
#include "ui/flow_settings.h"
#include "ui/port_settings.h"
#include "ui/replay_record.h"
#include "ui/resource.h"

// "cannot write x: reason" as the status line shows it: "Status:  Cannot write x: reason".
CString FaultStatusText(const CString& strFault);
// Why the calling thread's last call failed: its words, else its code.
CString LastErrorWords();

class CZandrelDlg : public CDialog {
public:
    explicit CZandrelDlg(CWnd* pParent = nullptr);
    ~CZandrelDlg() override;

    enum { IDD = IDD_ZANDREL_DIALOG };

    // The window timer that paces Write to Port.
    static constexpr UINT_PTR SEND_TIMER_ID = 1124;
    // While a job's device is away: how often to try it again, besides when a device appears.
    static constexpr UINT_PTR RECONNECT_TIMER_ID = 1125;
    static constexpr UINT RECONNECT_PERIOD = 1000;
    // While a capture's chunk waits for its file: how often to try the file again.
    static constexpr UINT_PTR CAPTURE_RETRY_TIMER_ID = 1126;
    static constexpr UINT CAPTURE_RETRY_PERIOD = 500;
    // A capture from a USB CDC device with DTR off that has received nothing this long says how to raise DTR.
    static constexpr UINT_PTR DTR_HINT_TIMER_ID = 1127;
    static constexpr UINT DTR_HINT_DELAY = 3000;
    // While data streams, a capture pass's text is drawn on the status line at most this often.
    static constexpr UINT_PTR STATUS_TIMER_ID = 1128;
    static constexpr UINT STATUS_PERIOD = 250;
    // A capture pass reads at most this many bytes.
    static constexpr DWORD CAPTURE_CHUNK_SIZE = 500;
    static constexpr int PASS_STATUS_SIZE = 600;
    static constexpr const char* WRITING_STATUS = "Status:  Data is being written to the port...";

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
    void OnCancel() override;
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnBrowseSendFile();
    afx_msg void OnBrowseCaptureFile();
    afx_msg void OnCaptureToFile();
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
    afx_msg void OnPortTextChanged();
    afx_msg void OnPortListOpening();
    afx_msg LRESULT OnComEvent(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnPortDisconnected(WPARAM wParam, LPARAM lParam);
    afx_msg BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
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

    // What the job opened, to open it again, the same way, after the device was away.
    char m_szJobDevice[DEVICE_NAME_SIZE] = {};
    LineSettings m_jobSettings = {};
    FlowSettings m_jobFlow = {};
    UINT m_nSendPeriod = 0;
    // The character read for a tick that the line has not taken yet (it was
    // full, or its device went away): offered again before anything new is read.
    int m_nHeldChar = -1;
    ULONGLONG m_nPassChars = 0;  // characters of this pass of the file that the line took
    CLinePace m_linePace;
    // The file has ended without Loop: the write ends once the line has sent what it took.
    bool m_bSendEnding = false;
    // The job's device went away; the job goes on once it is back.
    bool m_bWaitingForPort = false;
    HDEVNOTIFY m_hDeviceNotify = nullptr;
    // The device the job first opened: only that one is taken up again.
    CString m_strJobDeviceKey;
    CString m_strJobDeviceText;  // "FTDI FT232R USB UART A50285BI"
    // The job's device is a pseudo-terminal, and which one (empty: named by its node).
    bool m_bJobPty = false;
    CString m_strJobPtyInstance;
    // What the wait last told besides waiting, so that each thing is told once:
    // why the device cannot be opened, or which other device has its name.
    CString m_strWaitTold;

    void BrowseInto(int nIDEdit);
    // The status line: words about the job or its port, drawn at once; a
    // capture pass's chunk, drawn at the pace of STATUS_PERIOD while data streams.
    void ShowStatus(const CString& strStatus);
    void ShowPassStatus(const char* szChunk);
    void OnStatusTimer();
    char m_szPassStatus[PASS_STATUS_SIZE] = {};
    bool m_bStatusPaced = false;        // a pass's text was drawn within the period
    bool m_bPassStatusWaiting = false;  // and another one waits for the period's end
    // The chunk of the current capture pass. It stays held while the capture
    // file does not take it, and is stored before anything new is read.
    char m_captureChunk[CAPTURE_CHUNK_SIZE + 1] = {};
    DWORD m_nChunkBytes = 0;
    bool m_bChunkHeld = false;
    DWORD m_nChunkStored = 0;  // of a held chunk, the bytes already in the capture file
    // A pass could not store its data: the capture tries again on a timer
    // until it has caught up, and then says what the line lost meanwhile.
    bool m_bCaptureHeld = false;
    bool m_bLostCounted = false;
    ULONGLONG m_nLostBeforeHold = 0;
    // A capture's faults are told once per job on the console (always in the status line).
    bool m_bFaultTold = false;
    // Received bytes the line dropped (its UART or the kernel's buffer
    // overran), as its driver counts them: told once as it happens, and
    // the total when the capture ends.
    bool m_bLineLossTold = false;
    ULONGLONG m_nLineLostEarlier = 0;  // in the job's earlier opens of its device

    void CloseJob();   // the port, then the send file
    // Write to Port and Capture to File: disabled while a job runs, enabled again by Stop.
    void EnableJobButtons(BOOL bEnable);
    void ClosePort();  // after a capture's last pass
    // Opens the port the port box names. When it cannot be opened the status
    // line says why, until the next job or Stop.
    bool OpenJobPort();
    bool m_bOpenFailureShown = false;
    bool OpenJobDevice();
    // Line settings and flow control from the controls, kept for the job, and applied; false
    // when the port refused them (it runs on at what it kept).
    bool ConfigureJobPort();
    // The job's line settings, non-blocking reads, flow control and modem lines.
    bool ApplyJobSettings();
    // Tells the user which line settings the port refused and what it kept.
    void ShowSettingsKept();
    CString m_strSettingsRefusal;  // "/dev/ttyUSB0 cannot take 6 data bits, kept 9600 8N1"
    // The Linux device the job's port is, for telling the user: made visible.
    CString JobDevicePath() const;
    // Reopens the job's device if it is back and the same one. bTellWhy: say
    // why it is not taken up (not on arrival notices, which come before the
    // device's permissions are set and its strings are all in sysfs).
    void TryReconnect(bool bTellWhy);
    // The identity of the device the job's port leads to now, whole; false,
    // with the last error, when it cannot be read (nothing there among others).
    bool ReadJobDeviceIdentity(CString& strKey, CString& strText) const;
    void TellWhileWaiting(const CString& strWhat, const CString& strNotice);
    // Which pseudo-terminal the job's device is, read at each open.
    void RememberJobPty();
    // False for what a waiting job never takes up whatever identity it shows:
    // a pty other than a new one made for the job's name (told once unless its
    // link still leads where it did), and a terminal in use (told once).
    bool JobDeviceFreeToTakeUp();
    void StopWaitingForPort();
    // A fault the job goes on through: in the status line, and on the console.
    void TellJobFault(const CString& strFault);
    void SendNextChar();
    enum EOffer { OfferTaken, OfferHeld, OfferDeviceGone };
    EOffer OfferHeldChar();
    void TellLinePace(CLinePace::ENews eNews);
    const char* LineHoldReason();
    void FinishSendWhenLineEmpty();
    void EndSendPass();  // at the end of the file: again with Loop, else the end of the write
    void StopSendTimer();
    bool IsLoopChecked();
    // One chunk of received data each; true when another chunk may be waiting.
    bool CapturePass();
    bool DrainPass();
    void ReadChunk();
    void KeepPartOfChunk(size_t nKept);
    void HoldCapture(const CString& strFault);
    void EndCaptureHold();
    void FinishCapture();
    bool m_bCaptureReceived = false;  // since the capture started: the DTR hint is only for a quiet device
    void StartDtrHint();
    void OnDtrHintTimer();
    ULONGLONG LineLostSoFar();
    void TellLineLoss();
    void TellLineLossAtEnd();
    // A capture file's fault: in the status line on every pass, on the console once a job.
    void TellCaptureFault(const CString& strFault);

    // Arrival times (capture_times.cpp, replay_to_port.cpp), read from the check box at a job's start.
    bool m_bArrivalTimes = false;
    bool IsArrivalTimesChecked();
    // A capture's: the _time companion, the job's clock, the current chunk's pieces, the
    // events told and not yet in a row, and rows the file has not taken yet.
    CString m_strTimeFileName;
    long long m_nTimeStartMicros = 0;
    LONGLONG m_llTimeStart = 0;
    COMMARRIVAL m_chunkArrivals[CAPTURE_CHUNK_SIZE] = {};
    DWORD m_nChunkArrivals = 0;
    std::vector<std::pair<LONGLONG, std::string>> m_timeEvents;
    std::string m_strTimeRowsWaiting;
    bool m_bTimeEndDue = false;  // the job's start row is written, its end row not yet
    void BeginArrivalTimes();
    void NoteTimeEvent(const std::string& strEvent);
    // The rows of the chunk just appended at nOffset, with the events before them, into the waiting rows.
    void AddPassTimeRows(ULONGLONG nOffset);
    // The events told so far, at the capture file's size, into the waiting rows.
    void AddEventTimeRows();
    // Those, then every waiting row into the _time file; the capture holds while it does not take them.
    void FlushTimeRows();
    // False, with why, while the _time file does not take them: the capture's data then waits with them.
    bool WriteWaitingTimeRows(CString& strFault);
    void NoteLineEvents(WORD wErrors, WORD wEvents);
    ULONGLONG m_nTimeLostBefore = 0;
    ULONGLONG m_nTimeFramesBefore = 0;
    ULONGLONG m_nTimeParitiesBefore = 0;
    // Where the counts of lost and damaged input stand now: the next rows count from here.
    void TakeLineCountBaseline();
    void EndArrivalTimes();
    // A replay's: its schedule, where it is, the bytes of the current record still to read,
    // and those read that the line has not taken yet (a record is read a buffer at a time).
    std::vector<ReplayRecord> m_replay;
    size_t m_nReplayNext = 0;
    LONGLONG m_llReplayStart = 0;
    ULONGLONG m_nReplayRecordLeft = 0;
    std::vector<char> m_replayHeld;
    size_t m_nReplayHeldLength = 0;
    size_t m_nReplayHeldSent = 0;
    bool StartReplay();
    ULONGLONG ReplayBytes() const;
    void ReplayDue();
    void ScheduleReplay();
};
