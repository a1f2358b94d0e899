// The application framework the program is written against: strings, command
// targets with message maps, windows, dialogs, the application object, menus,
// painting and the command line. One user-interface thread runs every handler.
#pragma once

#include <string>

#include "platform/framework/afxres.h"
#include "platform/win32.h"

#define afx_msg

// ---------------------------------------------------------------- CString

class CString {
public:
    CString() = default;
    CString(const char* text);  // a null pointer gives the empty string
    CString(const char* text, int length);
    CString(char ch, int repeat = 1);

    CString& operator=(const char* text);  // a null pointer gives the empty string
    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    operator const char*() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    int Find(char ch) const;
    int Find(const char* text) const;
    int FindOneOf(const char* set) const;
    int Insert(int index, const char* text);  // index clamped to 0..length; returns the new length
    void TrimLeft();            // space, \t, \n, \v, \f, \r
    void TrimLeft(char ch);     // every leading ch
    void TrimRight();
    void TrimRight(char ch);
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    BOOL LoadString(UINT id);   // from the registered string table

    int Compare(const char* text) const;  // strcmp

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend bool operator==(const CString& a, const char* b);
    friend bool operator==(const CString& a, const CString& b);

private:
    std::string m_text;
};

// ---------------------------------------------------------------- small types

struct CPoint : POINT {
    CPoint() : POINT{0, 0} {}
    CPoint(int x_, int y_) : POINT{x_, y_} {}
};

struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
};

// ---------------------------------------------------------------- message maps

class CCmdTarget;
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;              // window message; WM_COMMAND for commands
    UINT nCode;                 // notification code of a command (BN_CLICKED)
    UINT nID;                   // control or command identifier of a command
    const UINT* pnRegistered;   // registered message: the variable holding its id, read at dispatch
    LRESULT (*pfnHandler)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;  // ends with an entry whose pfnHandler is null
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                               \
        using ThisClass [[maybe_unused]] = theClass;                                \
        using TheBaseClass = baseClass;                                             \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                         \
            {0, 0, 0, nullptr, nullptr}};                                         \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                              \
    }

#define AFX_HANDLER(body) [](CCmdTarget* target_, WPARAM wParam_, LPARAM lParam_) -> LRESULT { \
        auto* self_ = static_cast<ThisClass*>(target_); (void)self_; (void)wParam_; (void)lParam_; body }

#define ON_COMMAND(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                   \
    {WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), nullptr, \
     AFX_HANDLER(self_->memberFxn(); return 0;)},
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, nullptr, AFX_HANDLER(self_->OnSysCommand(static_cast<UINT>(wParam_), lParam_); return 0;)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, nullptr, AFX_HANDLER(self_->OnPaint(); return 0;)},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, nullptr, AFX_HANDLER(return reinterpret_cast<LRESULT>(self_->OnQueryDragIcon());)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, nullptr, AFX_HANDLER(self_->OnClose(); return 0;)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, nullptr, AFX_HANDLER(self_->OnTimer(static_cast<UINT>(wParam_)); return 0;)},
#define ON_WM_DEVICECHANGE()          \
    {WM_DEVICECHANGE, 0, 0, nullptr, \
     AFX_HANDLER(return self_->OnDeviceChange(static_cast<UINT>(wParam_), static_cast<DWORD_PTR>(lParam_));)},
#define ON_WM_CONTEXTMENU()                                                                                 \
    {WM_CONTEXTMENU, 0, 0, nullptr,                                                                         \
     AFX_HANDLER(self_->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(wParam_)),                    \
                                      CPoint(GET_X_LPARAM(lParam_), GET_Y_LPARAM(lParam_))); return 0;)},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    {0, 0, 0, &(nMessageVariable), AFX_HANDLER(return self_->memberFxn(wParam_, lParam_);)},

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();  // the root: no entries, no base
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Looks the message up in this object's map chain; true when a handler ran.
    bool DispatchThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// ---------------------------------------------------------------- windows

class CMenu;
class CDC;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    static CWnd* FromHandle(HWND window);  // the object of a live window, or null

    // Messages. WindowProc dispatches through the message map, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default();  // DefWindowProc of the message being handled
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Controls of a dialog.
    void SetDlgItemText(int id, const char* text);
    int GetDlgItemText(int id, CString& text) const;
    CWnd* GetDlgItem(int id) const;  // a control's window object, owned by the framework
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const char* text);
    void GetWindowText(CString& text) const;
    // The tip shown while the pointer rests on the window; empty for none.
    // This framework's shortcut for what Windows does with a tooltip control.
    void SetToolTipText(const char* text);

    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

    UINT_PTR SetTimer(UINT_PTR idEvent, UINT elapse, void (*timerProc)(HWND, UINT, UINT_PTR, DWORD));
    BOOL KillTimer(UINT_PTR idEvent);

    CMenu* GetSystemMenu(BOOL revert) const;
    HICON SetIcon(HICON icon, BOOL bigIcon);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;

protected:
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnClose();
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
    afx_msg BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);

    friend struct AfxWindowAccess;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();  // IDOK, IDCANCEL or the EndDialog result; -1 when it cannot be created
    virtual BOOL OnInitDialog();
    void EndDialog(int result);

    // Asked by the console run when nothing is queued and no timer is set: a
    // dialog that still waits for outside events (a watched port) answers TRUE.
    virtual BOOL IsBusy() const { return FALSE; }

protected:
    virtual void OnOK();
    virtual void OnCancel();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
    friend struct AfxWindowAccess;
};

class CMenu {
public:
    HMENU m_hMenu = nullptr;
    static CMenu* FromHandle(HMENU menu);
    BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, const char* newItem = nullptr);
    UINT GetMenuItemCount() const;
};

class CDC {
public:
    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon);
    operator HDC() const { return m_hDC; }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();

private:
    CWnd* m_pWnd;
};

// ---------------------------------------------------------------- application

struct AFX_MODULE_STATE {
    const char* m_lpszCurrentAppName;
};
AFX_MODULE_STATE* AfxGetModuleState();

class CWinApp : public CCmdTarget {
public:
    // Null: string AFX_IDS_APP_TITLE, else the program's file name without
    // extension (set by the first AfxGetAppName, as the entry point calls it).
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    const char* m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    HICON LoadIcon(UINT id) const;
    BOOL Enable3dControls();

protected:
    afx_msg void OnHelp();
    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
const char* AfxGetAppName();
void AfxEnableControlContainer();

class CCommandLineInfo {
public:
    CCommandLineInfo();
    virtual ~CCommandLineInfo();
    virtual void ParseParam(const char* param, BOOL flag, BOOL last);
};

constexpr UINT ID_HELP = 0xE146;

// Whether this process runs on the console rather than in a window: with
// ZANDREL_HEADLESS=1, or when nothing would show the window to a user (no
// display, and no Qt platform chosen that draws where a user sees it; the
// offscreen and minimal platforms need ZANDREL_WINDOW=1).
bool AfxIsHeadless();

// A text from outside the program (a file or device name, a switch's value) as
// it may be put in a message: control characters and bytes that are not UTF-8
// written as escapes ("\x1B"), a backslash as "\\", so that on a terminal they
// are seen rather than acted on; printable UTF-8 as it is.
CString AfxVisibleText(const char* pszText);

// Tells the user of a fault that a running job carries on through (a capture
// file that cannot be written, a port text that names no port). A window shows
// such faults in its status line, so only the console run prints this, as
// "<application>: <text>" on standard error; a console run told of one ends
// with status 1.
void AfxReportJobFault(const char* pszText);
// Tells the user of a running job's news that changes no outcome (a device
// gone and back): printed like a fault, without touching the exit status.
void AfxReportJobNotice(const char* pszText);

// A job's progress, for the console run on a terminal: it draws one progress
// line at most ten times a second and prints one summary line when the job
// ends. A window shows the dialog's own status texts and ignores these, and so
// does a console whose standard error is not a terminal.
// A replay is a write on a recorded schedule: nDelay is its length in milliseconds.
enum AFX_JOB_KIND { AFX_JOB_WRITE, AFX_JOB_CAPTURE, AFX_JOB_REPLAY };
// A write of a file of nFileSize characters (0 when not known), one per
// nDelay milliseconds, or a capture into pszFileName (size, delay and loop 0).
// pszTo names, in a write's summary, where the characters went when that is
// not the line itself ("the server").
void AfxBeginJobProgress(AFX_JOB_KIND eKind, const char* pszFileName, ULONGLONG nFileSize, UINT nDelay, BOOL bLoop,
                         const char* pszTo = nullptr);
// Loop started the file again.
void AfxNextJobPass(ULONGLONG nFileSize);
// Characters sent or bytes captured since the last call. Only counted here,
// so it may be called for every character.
void AfxReportJobProgress(DWORD nCount);
// While held (the device gone, the line taking nothing), a write's progress
// says "held" in place of the time left, followed by pszWhy when given
// ("held: XOFF received"); a capture's says pszWhy in place of its rate.
void AfxHoldJobProgress(BOOL bHeld, const char* pszWhy = nullptr);
// Tells of a hold of the job's line beginning (bBegins) or ending, as a job
// notice would. Where the console draws the progress line, that line says it
// (AfxHoldJobProgress) and nothing is printed; elsewhere on the console one
// line tells each hold as it begins, and its end goes untold.
void AfxReportJobHold(const char* pszText, BOOL bBegins);
// The job ended (by itself, Stop or closing); without a job running, nothing happens.
void AfxEndJobProgress();

// Sets what GetCommandLineA returns: the arguments joined by single spaces, an
// argument that is empty or contains a space wrapped in double quotes.
// AfxWinMain calls it; tests may too.
void AfxSetCommandLine(int argc, const char* const* argv);

// The program's entry into the framework: keeps the command line, chooses the
// back-end (the Qt window, or the console run without a display or where the
// window cannot start), calls the application's InitInstance and returns the
// process's exit status. A console run without any switch has nothing to do:
// it returns what pfnNoSwitches (the program's usage) returns instead.
int AfxWinMain(int argc, char** argv, int (*pfnNoSwitches)());
