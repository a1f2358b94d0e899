// What a job waiting for its device never takes up, whatever identity the
// device shows: opening it would make it raw and store what a user types there.
// A pseudo-terminal is only taken up when it is a new one made for the job's
// name: the kernel gives a pty's number to whichever terminal is opened next
// (a new tab, an SSH login, sudo's). And no terminal that a process has as its
// controlling terminal is taken up. A job's first open is the user's own
// choice, and is not held to either.

#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD PTY_INSTANCE_SIZE = 256;

}  // namespace

void CZandrelDlg::RememberJobPty() {
    char szInstance[PTY_INSTANCE_SIZE];
    m_bJobPty = GetCommPtyInstanceA(m_szJobDevice + DEVICE_PREFIX_LENGTH, szInstance, sizeof szInstance) != FALSE;
    m_strJobPtyInstance = m_bJobPty ? szInstance : "";
}

bool CZandrelDlg::JobDeviceFreeToTakeUp() {
    const char* pszPort = m_szJobDevice + DEVICE_PREFIX_LENGTH;
    const CString strPath = JobDevicePath();
    if (m_bJobPty && m_strJobPtyInstance.IsEmpty()) {
        TellWhileWaiting("pty gone", strPath +
                                         " is a pseudo-terminal: it does not come back once its far end has closed, "
                                         "and another one given its number is not taken up; still waiting");
        return false;
    }
    char szInstance[PTY_INSTANCE_SIZE];
    // Still the link the job had, or nothing behind it: no new pty yet.
    if (m_bJobPty && (!GetCommPtyInstanceA(pszPort, szInstance, sizeof szInstance) || m_strJobPtyInstance == szInstance))
        return false;

    char szNode[MAX_PATH];
    DWORD dwProcess = 0;
    if (!GetCommTerminalSessionA(pszPort, szNode, sizeof szNode, &dwProcess)) return false;
    if (dwProcess == 0) return true;
    const CString strNode(szNode);
    CString strUser;
    strUser.Format("a terminal in use (by process %lu)", static_cast<unsigned long>(dwProcess));
    TellWhileWaiting("in use " + strNode + " " + strUser,
                     strPath + (strNode == strPath ? " is now " : " now leads to " + strNode + ", ") + strUser +
                         "; still waiting");
    return false;
}
