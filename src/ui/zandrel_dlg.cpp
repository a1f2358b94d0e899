// The main dialog's own handlers: initialisation, the system menu, painting
// while minimised, Stop, closing and cancelling, and the browse buttons.

#include "ui/zandrel_dlg.h"

#include <cctype>

#include "ui/about_dlg.h"
#include "ui/devices_present.h"
#include "ui/flow_settings.h"
#include "ui/port_settings.h"

namespace {

// Posted to the dialog itself once it is up; the command line is handled then.
const UINT s_nProcessCmdLineMsg = RegisterWindowMessageA("WM_ZDL_PROCESSCMDLINE");

// The port box's tip: room for the port text and any device path it leads to.
constexpr int DEVICE_DESCRIPTION_SIZE = 4096;

}  // namespace

CZandrelDlg::CZandrelDlg(CWnd* pParent) : CDialog(CZandrelDlg::IDD, pParent), m_pSendFile(nullptr) {
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

CZandrelDlg::~CZandrelDlg() { StopWaitingForPort(); }

BEGIN_MESSAGE_MAP(CZandrelDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_WRITE_TO_PORT, OnWriteToPort)
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_WM_CLOSE()
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_BROWSE_SEND, OnBrowseSendFile)
    ON_BN_CLICKED(IDC_BROWSE_CAPTURE, OnBrowseCaptureFile)
    ON_BN_CLICKED(IDC_CAPTURE_TO_FILE, OnCaptureToFile)
    ON_WM_CONTEXTMENU()
    ON_CBN_EDITCHANGE(IDC_COM_PORT, OnPortTextChanged)
    ON_CBN_SELCHANGE(IDC_COM_PORT, OnPortTextChanged)
    ON_CBN_DROPDOWN(IDC_COM_PORT, OnPortListOpening)
    ON_REGISTERED_MESSAGE(CSerialWnd::s_nDefaultComMsg, OnComEvent)
    ON_REGISTERED_MESSAGE(CSerialWnd::s_nDisconnectMsg, OnPortDisconnected)
    ON_WM_DEVICECHANGE()
    ON_REGISTERED_MESSAGE(s_nProcessCmdLineMsg, OnProcessCmdLine)
END_MESSAGE_MAP()

BOOL CZandrelDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_pSendFile = nullptr;

    SetDlgItemText(IDC_COM_PORT, "COM1");
    SetDlgItemText(IDC_BAUD, "9600");
    SetDlgItemText(IDC_PARITY, "NOPARITY");
    SetDlgItemText(IDC_DATA_BITS, "8");
    SetDlgItemText(IDC_STOP_BITS, "1");
    SetDlgItemText(IDC_FLOW_CONTROL, FlowControlEntry('n'));
    SetDlgItemText(IDC_MODEM_LINES, ModemLinesEntry('n'));
    SetDlgItemText(IDC_TIME_DELAY, "25");
    GetDlgItem(IDC_LOOP)->SendMessage(BM_SETCHECK, BST_CHECKED);
    SetDlgItemText(IDC_SEND_FILE, "SendDataFile.txt");
    SetDlgItemText(IDC_CAPTURE_FILE, "CaptureDataFile.txt");
    OnPortTextChanged();

    PostMessage(s_nProcessCmdLineMsg, 0, 0);
    return TRUE;
}

void CZandrelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CZandrelDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    // Signed and truncating toward zero: a client narrower than the icon by one gives 0.
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CZandrelDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CZandrelDlg::OnStop() {
    CloseJob();
    ShowStatus("");
    m_bOpenFailureShown = false;
    EnableJobButtons(TRUE);
}

void CZandrelDlg::EnableJobButtons(BOOL bEnable) {
    GetDlgItem(IDC_WRITE_TO_PORT)->EnableWindow(bEnable);
    GetDlgItem(IDC_CAPTURE_TO_FILE)->EnableWindow(bEnable);
}

void CZandrelDlg::OnClose() {
    CDialog::OnClose();
    CloseJob();
}

// Escape ends the dialog without WM_CLOSE (and so does the close box, whose
// default processing is this command): the job ends here as Stop ends it,
// while the port's last data can still reach the files.
void CZandrelDlg::OnCancel() {
    CloseJob();
    CDialog::OnCancel();
}

// The send timer is left running: its ticks find no file, and the next
// Write to Port replaces it.
void CZandrelDlg::CloseJob() {
    ClosePort();
    KillTimer(DTR_HINT_TIMER_ID);
    if (m_eJob == JobCapture) TellLineLossAtEnd();
    if (m_eJob == JobCapture) EndArrivalTimes();
    if (m_pSendFile != nullptr) std::fclose(m_pSendFile);
    m_pSendFile = nullptr;
    m_bSending = false;
    AfxEndJobProgress();
}

void CZandrelDlg::ClosePort() {
    if (m_bWaitingForPort) {
        // The job ends without its device: not what was asked.
        StopWaitingForPort();
        TellJobFault(JobDevicePath() + " did not come back before the job ended");
    }
    if (!m_Port.IsOpen()) return;
    if (m_eJob == JobCapture) {
        FinishCapture();
        m_nLineLostEarlier = LineLostSoFar();  // the count starts again with the next open
    }
    m_Port.Close();
}

CString FaultStatusText(const CString& strFault) {
    CString strStatus = "Status:  ";
    if (!strFault.IsEmpty()) strStatus += static_cast<char>(std::toupper(static_cast<unsigned char>(strFault.GetAt(0))));
    return strStatus + strFault.Mid(1);
}

void CZandrelDlg::TellJobFault(const CString& strFault) {
    ShowStatus(FaultStatusText(strFault));
    AfxReportJobFault(strFault);
}

BOOL CZandrelDlg::IsBusy() const {
    return m_bSending || m_bWaitingForPort || (m_eJob == JobCapture && m_Port.IsOpen());
}

void CZandrelDlg::OnBrowseSendFile() {
    BrowseInto(IDC_SEND_FILE);
}

void CZandrelDlg::OnBrowseCaptureFile() {
    BrowseInto(IDC_CAPTURE_FILE);
}

void CZandrelDlg::BrowseInto(int nIDEdit) {
    char szFile[MAX_PATH] = "";
    OPENFILENAME ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = "Text Files (*.txt)\0*.txt\0All (*.*)\0*.*\0";
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = szFile;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Open File";
    ofn.lpstrDefExt = "txt";
    ofn.Flags = 0;
    ofn.lpstrInitialDir = nullptr;
    if (GetSaveFileNameA(&ofn)) SetDlgItemText(nIDEdit, szFile);
}

void CZandrelDlg::OnContextMenu(CWnd* pWnd, CPoint point) {
}

// The port box's tip names the device its text opens: what COMn means
// depends on the system and its environment. A text that opens nothing says why.
void CZandrelDlg::OnPortTextChanged() {
    CString strPort;
    GetDlgItemText(IDC_COM_PORT, strPort);
    char szDevice[DEVICE_NAME_SIZE];
    char szDescription[DEVICE_DESCRIPTION_SIZE];
    CString strTip;
    if (!FormatDeviceName(strPort, szDevice)) {
        strTip.Format("\"%s\" is too long for a port name (%d characters at most)", static_cast<const char*>(strPort),
                      MAX_PORT_TEXT_LENGTH);
    } else if (DescribeCommDeviceA(strPort, szDescription, sizeof szDescription) != 0) {
        strTip = szDescription;
    } else {
        strTip = "\"" + strPort + "\" is not a port name: COMn, a device path such as /dev/ttyUSB0, or rfc2217://HOST:PORT";
    }
    GetDlgItem(IDC_COM_PORT)->SetToolTipText(strTip);
}

// COM1 to COM25, then the devices there are now, so that a user can pick an
// adapter plugged in since without knowing its name or setting a variable.
void CZandrelDlg::OnPortListOpening() {
    CWnd* pPortBox = GetDlgItem(IDC_COM_PORT);
    CString strPort;
    GetDlgItemText(IDC_COM_PORT, strPort);
    pPortBox->SendMessage(CB_RESETCONTENT);  // which empties the text too
    for (int n = 1; n <= LISTED_COM_PORTS; ++n)
        pPortBox->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(static_cast<const char*>(ListedComPort(n))));
    for (const COMMDEVICEINFOA& device : DevicesPresent())
        pPortBox->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(device.szPath));
    SetDlgItemText(IDC_COM_PORT, strPort);
}
