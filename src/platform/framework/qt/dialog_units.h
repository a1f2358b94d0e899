// Dialog units in pixels for the Qt window.
#pragma once

#include <QFont>
#include <QSizeF>

#include "platform/framework/afxres.h"

class QStyle;

namespace qtui {

// Pixels per dialog unit, as Windows derives them from a dialog's font: a
// quarter of the average width of the Latin letters, an eighth of the
// character height; here from the desktop's dialog font, so that a larger
// font makes a larger window. Should a label, check box or button text still
// not fit its box (the templates were measured for MS Sans Serif), the
// horizontal unit grows until every one fits.
QSizeF DialogUnits(const DialogTemplate& tmpl, const QFont& font, const QStyle& style);

}  // namespace qtui
