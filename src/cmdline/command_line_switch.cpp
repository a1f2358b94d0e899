#include "cmdline/command_line_switch.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ui/flow_settings.h"
#include "ui/port_settings.h"
#include "ui/resource.h"

namespace {

const char* const kBaudRates[] = {"110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
                                  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const char* const kStopBits[] = {"1", "1.5", "2"};

struct ParityName {
    char chLetter;
    const char* pszText;
};
const ParityName kParities[] = {
    {'e', "EVENPARITY"}, {'m', "MARKPARITY"}, {'n', "NOPARITY"}, {'o', "ODDPARITY"}, {'s', "SPACEPARITY"},
};

// The texts of each rejection: the value goes between pszBefore and pszAfter.
// The misspellings and the odd spacing of the parameter list are the
// program's own and stay as they are.
struct RejectionText {
    char chLetter;  // NUL: any letter without a row of its own
    const char* pszCaption;
    const char* pszBefore;
    const char* pszAfter;
};
const RejectionText kRejections[] = {
    {'a', "Zandrel: Unsupported Arrival Times Switch", "Unsupported Arrival Times Switch: ",
     "\nSupported Arrival Times switches are Yes and No."},
    {'b', "Zandrel: Unsupported Buad Rate", "Unsupported Buad Rate: ",
     " bps\n"
     "Supported Baud Rates are: 110, 300, 600, 1200, 2400, 4800, 9600, \n"
     "14400, 19200, 38400, 56000, 57600, 115200, 128000, and 256000 bps."},
    {'c', "Zandrel: Unsupported COM Port Number", "Unsupported COM Port Number: ",
     "\nSupported COM Port Numbers range from 1 to 25."},
    {'d', "Zandrel: Unsupported Number of Data Bits", "Unsupported Number of Data Bits: ",
     "\nThe supported Number of Data Bits range from 5 to 8."},
    {'f', "Zandrel: Unsupported Flow Control", "Unsupported Flow Control: ",
     "\nThe supported Flow Control types are None, XON/XOFF, \nRTS/CTS (h) and RTS/CTS with DTR/DSR (d)."},
    {'l', "Zandrel: Unsupported Loop Switch", "Unsupported Loop Switch: ",
     "\nSupported Loop switches are Yes and No."},
    {'m', "Zandrel: Unsupported Time Delay", "Unsupported Time Delay: ",
     " ms\nThe supported Time Delay ranges from 5 to 105 ms."},
    {'p', "Zandrel: Unsupported Parity", "Unsupported Parity: ",
     "\nThe supported Parity types are None, Even, Odd, Mark, \nand Space Parity."},
    {'s', "Zandrel: Unsupported Number of Stop Bits", "Unsupported Number of Stop Bits: ",
     "\nSupported Numbers of Stop Bits are: 1, 1.5, and 2."},
    {'t', "Zandrel: Unsupported Modem Lines", "Unsupported Modem Lines: ",
     "\nThe supported Modem Lines settings are None, DTR, RTS, \nand Both (held on during the job)."},
    {'\0', "Zandrel: Unsupported Parameter", "Unsupported Parameter: -",
     "\n"
     "Supported Parameters are: \n"
     "-b\t\tBuad rate\n"
     "-c\t\tCom port\n"
     "-d\t\tData bits\n"
     "-l\t\tLoop switch\n"
     "-p\t\tParity\n"
     "-r     Recieve file\n"
     "-s\t\tStop bits\n"
     "-w\t\tWrite file"},
};

// Only A to Z change, whatever the locale.
char ToLowerAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool InRange(const CString& strValue, int nLowest, int nHighest) {
    const int nValue = TextToInt(strValue);
    return nValue >= nLowest && nValue <= nHighest;
}

template <size_t N>
bool IsOneOf(const CString& strValue, const char* const (&texts)[N]) {
    return std::any_of(std::begin(texts), std::end(texts), [&](const char* text) { return strValue == text; });
}

bool NamesPortItself(const CString& strValue) {
    const char* pszValue = strValue;
    return (pszValue[0] == '/' || std::strstr(pszValue, "://") != nullptr) &&
           strValue.GetLength() <= MAX_PORT_TEXT_LENGTH;
}

const char* ParityText(char chLetter) {
    for (const ParityName& parity : kParities)
        if (parity.chLetter == chLetter) return parity.pszText;
    return nullptr;
}

SwitchEffect TextEffect(int nControlId, const CString& strText, char chJob = 0) {
    SwitchEffect effect;
    effect.nControlId = nControlId;
    effect.strText = strText;
    effect.chJob = chJob;
    return effect;
}

SwitchEffect CheckEffect(int nControlId, bool bChecked) {
    SwitchEffect effect;
    effect.nControlId = nControlId;
    effect.bCheck = true;
    effect.bChecked = bChecked ? TRUE : FALSE;
    return effect;
}

}  // namespace

char SwitchLetter(const CString& strSwitch) { return ToLowerAscii(static_cast<const char*>(strSwitch)[0]); }

std::optional<SwitchEffect> AcceptSwitch(char chLetter, const CString& strValue) {
    const char chFirst = ToLowerAscii(static_cast<const char*>(strValue)[0]);
    switch (chLetter) {
    case 'a':
        if (chFirst == 'y' || chFirst == 'n') return CheckEffect(IDC_ARRIVAL_TIMES, chFirst == 'y');
        break;
    case 'b':
        if (IsOneOf(strValue, kBaudRates)) return TextEffect(IDC_BAUD, strValue);
        break;
    case 'c':
        // A device path or a port server's address names the port itself, as typed into the port box.
        if (NamesPortItself(strValue)) return TextEffect(IDC_COM_PORT, strValue);
        // The port text keeps the value as typed: 07 gives COM07.
        if (InRange(strValue, 1, 25)) return TextEffect(IDC_COM_PORT, "COM" + strValue);
        break;
    case 'd':
        if (InRange(strValue, 5, 8)) return TextEffect(IDC_DATA_BITS, strValue);
        break;
    case 'f':
        if (const char* pszFlow = FlowControlEntry(chFirst)) return TextEffect(IDC_FLOW_CONTROL, pszFlow);
        break;
    case 'l':
        if (chFirst == 'y' || chFirst == 'n') return CheckEffect(IDC_LOOP, chFirst == 'y');
        break;
    case 'm':
        if (InRange(strValue, 5, 105)) return TextEffect(IDC_TIME_DELAY, strValue);
        break;
    case 'p':
        if (const char* pszParity = ParityText(chFirst)) return TextEffect(IDC_PARITY, pszParity);
        break;
    case 'r':
        return TextEffect(IDC_CAPTURE_FILE, strValue, 'r');
    case 's':
        if (IsOneOf(strValue, kStopBits)) return TextEffect(IDC_STOP_BITS, strValue);
        break;
    case 't':
        if (const char* pszLines = ModemLinesEntry(chFirst)) return TextEffect(IDC_MODEM_LINES, pszLines);
        break;
    case 'w':
        return TextEffect(IDC_SEND_FILE, strValue, 'w');
    }
    return std::nullopt;
}

SwitchRejection RejectSwitch(char chLetter, const CString& strValue) {
    const RejectionText* row = std::find_if(std::begin(kRejections), std::end(kRejections) - 1,
                                            [&](const RejectionText& r) { return r.chLetter == chLetter; });
    return {row->pszCaption, row->pszBefore + AfxVisibleText(strValue) + row->pszAfter, row->chLetter == '\0'};
}
