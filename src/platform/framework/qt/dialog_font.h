// The font that shows a dialog's texts.
#pragma once

#include <QFont>

#include "platform/framework/afxres.h"

class QStyle;

namespace qtui {

// The desktop's sans-serif at the template's point size, made smaller until
// every label, check box and button text fits the box the template gives it:
// the boxes were measured for MS Sans Serif, which most fonts are wider than.
// pixelsPerUnit converts horizontal dialog units to pixels.
QFont DialogFont(const DialogTemplate& tmpl, const QStyle& style, double pixelsPerUnit);

}  // namespace qtui
