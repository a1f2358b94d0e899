#include "platform/framework/qt/dialog_font.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QStyle>

namespace qtui {
namespace {

constexpr double kStepPoints = 0.25;
constexpr double kSmallestPoints = 6.0;  // below this nothing is readable anyway

// Room a control needs besides its text.
double Padding(ControlKind kind, const QStyle& style) {
    switch (kind) {
    case ControlKind::CheckBox:
        return style.pixelMetric(QStyle::PM_IndicatorWidth) + style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    case ControlKind::PushButton:
        return 2.0 * style.pixelMetric(QStyle::PM_ButtonMargin);
    default:
        return 0.0;
    }
}

bool TextsFit(const DialogTemplate& tmpl, const QFont& font, const QStyle& style, double pixelsPerUnit) {
    QFontMetricsF metrics(font);
    for (const DialogControl& control : tmpl.controls) {
        bool shown = control.kind == ControlKind::Static || control.kind == ControlKind::CheckBox ||
                     control.kind == ControlKind::PushButton;
        if (!shown || !*control.text) continue;
        double needed = metrics.horizontalAdvance(QString::fromLocal8Bit(control.text)) + Padding(control.kind, style);
        if (needed > control.cx * pixelsPerUnit) return false;
    }
    return true;
}

}  // namespace

QFont DialogFont(const DialogTemplate& tmpl, const QStyle& style, double pixelsPerUnit) {
    QFont font = QApplication::font();
    for (double points = tmpl.pointSize; points >= kSmallestPoints; points -= kStepPoints) {
        font.setPointSizeF(points);
        if (TextsFit(tmpl, font, style, pixelsPerUnit)) return font;
    }
    font.setPointSizeF(kSmallestPoints);
    return font;
}

}  // namespace qtui
