#include "app/dialog_units.h"

#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace app {

namespace {

int ScaleRounded(int value, int numerator, int denominator) {
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits MeasureBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int HorizontalPixels(int dialogUnits, DialogBaseUnits base) {
  return ScaleRounded(dialogUnits, base.x, 4);
}

int VerticalPixels(int dialogUnits, DialogBaseUnits base) {
  return ScaleRounded(dialogUnits, base.y, 8);
}

// Both corners are mapped, not the size, so that neighbouring controls that
// touch in dialog units still touch in pixels.
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits base) {
  const int left = HorizontalPixels(dialogUnits.x(), base);
  const int top = VerticalPixels(dialogUnits.y(), base);
  const int right = HorizontalPixels(dialogUnits.x() + dialogUnits.width(), base);
  const int bottom = VerticalPixels(dialogUnits.y() + dialogUnits.height(), base);
  return {left, top, right - left, bottom - top};
}

QSize MapDialogSize(const QSize& dialogUnits, DialogBaseUnits base) {
  return {HorizontalPixels(dialogUnits.width(), base), VerticalPixels(dialogUnits.height(), base)};
}

}  // namespace app
