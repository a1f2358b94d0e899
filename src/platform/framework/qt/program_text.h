// The program's texts are bytes in the locale's encoding, as the ANSI Win32
// calls take them; Qt's are QStrings. Every crossing goes through these two.
#pragma once

#include <QString>
#include <string>

namespace qtui {

inline QString FromText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToText(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace qtui
