// The conversions of the dialog's setting texts, the capture companion's name
// and the device name: the bytes are four texts separated by NULs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/port_settings.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

std::vector<std::string> Texts(const std::string& bytes, size_t count) {
    std::vector<std::string> texts;
    size_t at = 0;
    while (texts.size() < count) {
        const size_t end = std::min(bytes.find('\0', at), bytes.size());
        texts.push_back(at < bytes.size() ? bytes.substr(at, end - at) : "");
        at = end + 1;
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> t = Texts(std::string(reinterpret_cast<const char*>(data), size), 4);

    const LineSettings settings = ConvertLineSettings(t[0].c_str(), t[1].c_str(), t[2].c_str(), t[3].c_str());
    Check(settings.nParity >= 0 && settings.nParity <= 4);
    Check(settings.nParity == ParityCode(t[2].c_str()) && settings.nStopBits == StopBitsCode(t[3].c_str()));
    Check(SendTimerPeriod(t[0].c_str()) > 0);

    // "_asci" goes in before the last four characters, nothing else changes.
    const CString companion = CompanionFileName(CString(t[1].c_str()));
    const size_t at = t[1].size() < 4 ? 0 : t[1].size() - 4;
    Check(companion.str() == t[1].substr(0, at) + "_asci" + t[1].substr(at));

    char device[DEVICE_NAME_SIZE];
    const bool fits = FormatDeviceName(t[2].c_str(), device);
    Check(fits == (4 + t[2].size() < sizeof device));
    if (fits) Check(std::string(device) == "\\\\.\\" + t[2]);
    return 0;
}
