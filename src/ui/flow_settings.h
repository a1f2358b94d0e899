// The Flow control and Modem lines boxes: their entries, the switch letter of
// each, and what a job asks of the port for the texts the boxes hold.
#pragma once

#include <string>
#include <vector>

struct FlowSettings {
    int nHandshake;  // CSerialPort::EHandshake
    bool bDtrOn;     // held on where the handshake does not drive the line
    bool bRtsOn;
};

std::vector<std::string> FlowControlEntries();
std::vector<std::string> ModemLinesEntries();

// The entry a switch's letter chooses (-f n, x, h, d; -t n, d, r, b); null for another letter.
const char* FlowControlEntry(char chLetter);
const char* ModemLinesEntry(char chLetter);

// An entry in any case gives its setting; any other text (the boxes can be
// typed into) gives none and off, the settings of a run without them.
FlowSettings ConvertFlowSettings(const char* pszFlowControl, const char* pszModemLines);
