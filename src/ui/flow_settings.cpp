#include "ui/flow_settings.h"

#include "serial/serial_port.h"

namespace {

struct FlowEntry {
    char chLetter;
    const char* pszText;
    int nHandshake;
};
const FlowEntry kFlowEntries[] = {
    {'n', "None", CSerialPort::HandshakeOff},
    {'x', "XON/XOFF", CSerialPort::HandshakeSoftware},
    {'h', "RTS/CTS", CSerialPort::HandshakeRtsCts},
    {'d', "RTS/CTS, DTR/DSR", CSerialPort::HandshakeHardware},
};

struct LinesEntry {
    char chLetter;
    const char* pszText;
    bool bDtrOn;
    bool bRtsOn;
};
const LinesEntry kLinesEntries[] = {
    {'n', "Off", false, false},
    {'d', "DTR on", true, false},
    {'r', "RTS on", false, true},
    {'b', "DTR and RTS on", true, true},
};

// Only A to Z fold, whatever the locale.
bool SameIgnoringCase(const char* pszA, const char* pszB) {
    auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
    for (; *pszA != '\0' && lower(*pszA) == lower(*pszB); ++pszA, ++pszB) {
    }
    return lower(*pszA) == lower(*pszB);
}

template <class Entry, size_t N>
std::vector<std::string> Texts(const Entry (&entries)[N]) {
    std::vector<std::string> texts;
    for (const Entry& entry : entries) texts.push_back(entry.pszText);
    return texts;
}

template <class Entry, size_t N>
const Entry* ByLetter(const Entry (&entries)[N], char chLetter) {
    for (const Entry& entry : entries)
        if (entry.chLetter == chLetter) return &entry;
    return nullptr;
}

// The first entry stands for any text that is not one of them.
template <class Entry, size_t N>
const Entry& ByText(const Entry (&entries)[N], const char* pszText) {
    for (const Entry& entry : entries)
        if (SameIgnoringCase(entry.pszText, pszText)) return entry;
    return entries[0];
}

}  // namespace

std::vector<std::string> FlowControlEntries() { return Texts(kFlowEntries); }
std::vector<std::string> ModemLinesEntries() { return Texts(kLinesEntries); }

const char* FlowControlEntry(char chLetter) {
    const FlowEntry* entry = ByLetter(kFlowEntries, chLetter);
    return entry != nullptr ? entry->pszText : nullptr;
}

const char* ModemLinesEntry(char chLetter) {
    const LinesEntry* entry = ByLetter(kLinesEntries, chLetter);
    return entry != nullptr ? entry->pszText : nullptr;
}

FlowSettings ConvertFlowSettings(const char* pszFlowControl, const char* pszModemLines) {
    const LinesEntry& lines = ByText(kLinesEntries, pszModemLines);
    return FlowSettings{ByText(kFlowEntries, pszFlowControl).nHandshake, lines.bDtrOn, lines.bRtsOn};
}
