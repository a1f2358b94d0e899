// Dialog units of the templates' font, MS Sans Serif 8, as Windows measures it
// at 96 dpi: a horizontal unit is a quarter of the average character width, a
// vertical unit an eighth of the character height. Laying out in these units
// keeps a dialog at the proportions its template was drawn for, whatever font
// ends up showing the text.
#pragma once

namespace afx {

constexpr int kDialogBaseUnitX = 6;
constexpr int kDialogBaseUnitY = 13;
constexpr double kDialogDpi = 96.0;

}  // namespace afx
