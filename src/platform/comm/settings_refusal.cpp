#include "platform/comm/settings_refusal.h"

#include <vector>

#include "platform/comm/dcb_rules.h"
#include "platform/kernel/visible_text.h"

namespace comm {
namespace {

constexpr const char* kParityNames[] = {"no", "odd", "even", "mark", "space"};
constexpr char kParityLetters[] = "NOEMS";

std::string StopBitsText(BYTE stopBits) {
    switch (stopBits) {
        case ONESTOPBIT: return "1";
        case ONE5STOPBITS: return "1.5";
        case TWOSTOPBITS: return "2";
        default: return std::to_string(stopBits);
    }
}

std::string ParityName(BYTE parity) {
    return parity <= SPACEPARITY ? kParityNames[parity] : "parity code " + std::to_string(parity) + " as";
}

std::string FrameText(const DCB& dcb) {
    std::string text = std::to_string(dcb.BaudRate) + " " + std::to_string(dcb.ByteSize);
    text += dcb.Parity <= SPACEPARITY ? kParityLetters[dcb.Parity] : '?';
    return text + StopBitsText(dcb.StopBits);
}

// "9600 baud, 8 data bits and 1 stop bit": the parts of asked.
std::string PartsText(const DCB& asked, unsigned refusedParts) {
    std::vector<std::string> parts;
    if (refusedParts & kPartBaud) parts.push_back(std::to_string(asked.BaudRate) + " baud");
    if (refusedParts & kPartDataBits) parts.push_back(std::to_string(asked.ByteSize) + " data bits");
    if (refusedParts & kPartParity) parts.push_back(ParityName(asked.Parity) + " parity");
    if (refusedParts & kPartStopBits)
        parts.push_back(StopBitsText(asked.StopBits) + (asked.StopBits == ONESTOPBIT ? " stop bit" : " stop bits"));
    if (refusedParts & kPartRtsCts) parts.push_back("RTS/CTS handshake");
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text.empty() ? "these handshake settings" : text;
}

}  // namespace

std::string DescribeRefusal(const std::string& path, const DCB& asked, const DCB& kept, unsigned refusedParts) {
    return kernel::VisibleText(path) + " cannot take " + PartsText(asked, refusedParts) + ", kept " + FrameText(kept);
}

std::string DescribeUnanswered(const std::string& path, const DCB& asked, const DCB& kept, unsigned parts,
                               const std::string& why) {
    return kernel::VisibleText(path) + " was asked for " + PartsText(asked, parts) + ": " + why + "; kept " +
           FrameText(kept);
}

}  // namespace comm
