#include "platform/framework/qt/dialog_units.h"

#include <QFontMetrics>
#include <QStyle>

#include <algorithm>

#include "platform/framework/qt/program_text.h"

namespace qtui {
namespace {

constexpr char kLatinLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Room a control needs besides its text.
int Padding(ControlKind kind, const QStyle& style) {
    switch (kind) {
    case ControlKind::CheckBox:
        return style.pixelMetric(QStyle::PM_IndicatorWidth) + style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    case ControlKind::PushButton:
        return 2 * (style.pixelMetric(QStyle::PM_ButtonMargin) + style.pixelMetric(QStyle::PM_DefaultFrameWidth));
    default:
        return 0;
    }
}

bool ShowsText(const DialogControl& control) {
    return *control.text && (control.kind == ControlKind::Static || control.kind == ControlKind::CheckBox ||
                             control.kind == ControlKind::PushButton);
}

}  // namespace

QSizeF DialogUnits(const DialogTemplate& tmpl, const QFont& font, const QStyle& style) {
    QFontMetrics metrics(font);
    // Windows rounds the average letter width to whole pixels: (52 letters / 26 + 1) / 2.
    int baseX = (metrics.horizontalAdvance(kLatinLetters) / 26 + 1) / 2;
    int baseY = metrics.height();
    double unitX = baseX / 4.0;
    for (const DialogControl& control : tmpl.controls) {
        if (!ShowsText(control) || control.cx <= 0) continue;
        int needed = metrics.horizontalAdvance(FromText(control.text)) + Padding(control.kind, style);
        unitX = std::max(unitX, static_cast<double>(needed) / control.cx);
    }
    return QSizeF(unitX, baseY / 8.0);
}

}  // namespace qtui
