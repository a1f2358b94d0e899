// Capture to File: what the port receives goes unchanged into the capture
// file and, as "%d|" codes of the low seven bits, into its companion.

#include <cstdio>

#include "transfer/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD QUEUE_SIZE = 2048;
constexpr DWORD CHUNK_SIZE = 500;
constexpr char STATUS_PREFIX[] = "Status:  Reading data from the port... ";
constexpr int STATUS_SIZE = 600;
static_assert(sizeof STATUS_PREFIX - 1 + CHUNK_SIZE < STATUS_SIZE, "a full chunk fits the status line");
constexpr int CODE_TEXT_SIZE = 4;  // "127|"

// What "%d|" gives for byte & 0x7F, formatted without printf per byte.
int FormatCode(unsigned char byte, char* pszOut) {
    int nCode = byte & 0x7F;
    int nLength = 0;
    if (nCode >= 100) pszOut[nLength++] = static_cast<char>('0' + nCode / 100);
    if (nCode >= 10) pszOut[nLength++] = static_cast<char>('0' + nCode / 10 % 10);
    pszOut[nLength++] = static_cast<char>('0' + nCode % 10);
    pszOut[nLength++] = '|';
    return nLength;
}

}  // namespace

void CZandrelDlg::OnCaptureToFile() {
    if (m_Port.IsOpen()) m_Port.Close();

    CString strPort, strBaud, strDataBits, strParity, strStopBits;
    GetDlgItemText(IDC_COM_PORT, strPort);
    GetDlgItemText(IDC_BAUD, strBaud);
    GetDlgItemText(IDC_DATA_BITS, strDataBits);
    GetDlgItemText(IDC_PARITY, strParity);
    GetDlgItemText(IDC_STOP_BITS, strStopBits);
    LineSettings settings = ConvertLineSettings(strBaud, strDataBits, strParity, strStopBits);

    GetDlgItemText(IDC_CAPTURE_FILE, m_strFileName);
    if (m_strFileName == "") {
        MessageBox("Incorrect file name", nullptr, MB_OK);
        return;
    }
    m_strAsciFileName = CompanionFileName(m_strFileName);

    char szDevice[DEVICE_NAME_SIZE];
    // A port text too long for the device name fails like a port that cannot be opened.
    if (!FormatDeviceName(strPort, szDevice)) return;
    if (m_Port.Open(szDevice, this, 0, 0, QUEUE_SIZE, QUEUE_SIZE) != 0) return;
    m_eJob = JobCapture;

    if (m_Port.SetLineSettings(settings.dwBaudRate, settings.nDataBits, settings.nParity, settings.nStopBits) != 0)
        ShowSettingsKept();
    m_Port.SetReadTimeoutMode(CSerialPort::ReadNonBlocking);
    m_Port.SetHandshake(CSerialPort::HandshakeOff);
    GetDlgItem(IDC_WRITE_TO_PORT)->EnableWindow(FALSE);
    GetDlgItem(IDC_CAPTURE_TO_FILE)->EnableWindow(FALSE);
}

LRESULT CZandrelDlg::OnComEvent(WPARAM wParam, LPARAM lParam) {
    if ((LOWORD(wParam) & EV_RXCHAR) == 0) return 0;
    // A write job has no use for received data, but it must not fill the input queue.
    if (m_eJob == JobWrite) {
        while (DrainPass()) {
        }
        return 0;
    }
    // A burst is taken in chunks until a read comes back short.
    while (CapturePass()) {
    }
    return 0;
}

bool CZandrelDlg::DrainPass() {
    char chunk[CHUNK_SIZE];
    DWORD dwRead = 0;
    m_Port.Read(chunk, CHUNK_SIZE, &dwRead, nullptr, INFINITE);
    return dwRead == CHUNK_SIZE;
}

bool CZandrelDlg::CapturePass() {
    char chunk[CHUNK_SIZE + 1];
    DWORD dwRead = 0;
    // Non-blocking reads are in force: this returns at once with what has arrived.
    m_Port.Read(chunk, CHUNK_SIZE, &dwRead, nullptr, INFINITE);
    chunk[dwRead] = '\0';

    // The status line shows the chunk up to its first NUL byte.
    char szStatus[STATUS_SIZE];
    std::snprintf(szStatus, sizeof szStatus, "%s%s", STATUS_PREFIX, chunk);
    SetDlgItemText(IDC_STATUS, szStatus);

    FILE* pCapture = std::fopen(m_strFileName, "a");
    if (pCapture == nullptr) return false;  // this chunk is lost; the rest waits for the next notification
    FILE* pCompanion = std::fopen(m_strAsciFileName, "a");
    // Each file gets one write per pass, so a stream buffer would only cost
    // an allocation and a size query per open.
    std::setvbuf(pCapture, nullptr, _IONBF, 0);
    if (pCompanion != nullptr) std::setvbuf(pCompanion, nullptr, _IONBF, 0);

    std::fwrite(chunk, 1, dwRead, pCapture);
    if (pCompanion != nullptr) {
        char codes[CHUNK_SIZE * CODE_TEXT_SIZE];
        int nLength = 0;
        for (DWORD i = 0; i < dwRead; ++i) nLength += FormatCode(static_cast<unsigned char>(chunk[i]), codes + nLength);
        std::fwrite(codes, 1, static_cast<size_t>(nLength), pCompanion);
    }
    std::fclose(pCapture);
    if (pCompanion != nullptr) std::fclose(pCompanion);
    return dwRead == CHUNK_SIZE;
}
