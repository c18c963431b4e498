#include "app/player_template.h"

namespace app {

namespace {

using namespace control_style;

constexpr ControlTemplate kPlayerControls[] = {
    {IDC_PLAY, "IDC_PLAY", ControlKind::kButton, "&Play", kDefaultButton | kTabStop | kStaticEdge,
     QRect(4, 97, 50, 14)},
    {IDC_STOP, "IDC_STOP", ControlKind::kButton, "&Stop", kTabStop | kDisabled | kStaticEdge,
     QRect(110, 97, 50, 14)},
    {IDOK, "IDOK", ControlKind::kButton, "E&xit", kTabStop | kStaticEdge, QRect(216, 96, 50, 14)},
    {IDC_POSITION, "IDC_POSITION", ControlKind::kTrackbar, "Slider1",
     kBothSides | kNoTicks | kTabStop | kDisabled, QRect(8, 68, 261, 14)},
    {IDC_FILENAME, "IDC_FILENAME", ControlKind::kStatic, "Voice filename:", kGroup,
     QRect(5, 6, 263, 8)},
    {IDC_DURATION, "IDC_DURATION", ControlKind::kStatic, "Voice Duration:", kGroup,
     QRect(5, 20, 176, 8)},
    {IDC_ELAPSED, "IDC_ELAPSED", ControlKind::kStatic, "Elapsed time:", kGroup,
     QRect(5, 35, 176, 8)},
    {IDC_VOLUME, "IDC_VOLUME", ControlKind::kTrackbar, "Slider1",
     kVertical | kBothSides | kAutoTicks | kTabStop | kDisabled, QRect(280, 22, 29, 61)},
    {IDC_STATIC, "IDC_STATIC", ControlKind::kStatic, "Volume:", kCentred | kGroup,
     QRect(272, 5, 40, 12)},
};

constexpr DialogTemplate kPlayerTemplate = {
    IDD_PLAYER, "Vantor Digital Voice Player", 8, QSize(319, 125), kPlayerControls,
};

}  // namespace

const DialogTemplate& PlayerTemplate() {
  return kPlayerTemplate;
}

}  // namespace app
