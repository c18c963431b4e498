// Dialog units: the player's layout is given in them, so that it scales with
// the dialog's font. A horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace app {

struct DialogBaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // font height in pixels
};

// Measured as the classic dialog manager does: the width of the 52 Latin
// letters over 52, rounded to the nearest pixel, and the font's height.
DialogBaseUnits MeasureBaseUnits(const QFont& font);

// Each coordinate scaled and rounded to the nearest pixel, halves away from
// zero, as the classic dialog manager's mapping does.
int HorizontalPixels(int dialogUnits, DialogBaseUnits base);
int VerticalPixels(int dialogUnits, DialogBaseUnits base);
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits base);
QSize MapDialogSize(const QSize& dialogUnits, DialogBaseUnits base);

}  // namespace app
