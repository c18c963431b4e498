// The player dialog's template IDD_PLAYER: its caption, font and size, and
// every control with its id, kind, text, styles and rectangle in dialog
// units, in tab order. The dialog builds its widgets from this table.
#pragma once

#include <QRect>
#include <QSize>
#include <span>

#include "playback/player_view.h"

namespace app {

inline constexpr int IDD_PLAYER = 103;
inline constexpr int IDOK = 1;
inline constexpr int IDC_STATIC = -1;  // a label nobody addresses
// The controls the engine addresses keep the ids it knows them by.
inline constexpr int IDC_PLAY = static_cast<int>(playback::Control::kPlay);
inline constexpr int IDC_STOP = static_cast<int>(playback::Control::kStop);
inline constexpr int IDC_POSITION = static_cast<int>(playback::Control::kPosition);
inline constexpr int IDC_FILENAME = static_cast<int>(playback::Control::kFileName);
inline constexpr int IDC_DURATION = static_cast<int>(playback::Control::kDuration);
inline constexpr int IDC_ELAPSED = static_cast<int>(playback::Control::kElapsed);
inline constexpr int IDC_VOLUME = static_cast<int>(playback::Control::kVolume);

enum class ControlKind { kButton, kStatic, kTrackbar };

// The template's control styles.
namespace control_style {
inline constexpr unsigned kTabStop = 1u << 0;
inline constexpr unsigned kDisabled = 1u << 1;
inline constexpr unsigned kDefaultButton = 1u << 2;
// A sunken border around a button: the Qt style draws the button's own
// frame, so this has no further effect.
inline constexpr unsigned kStaticEdge = 1u << 3;
// Starts a group for the arrow keys; Qt moves between widgets with Tab only.
inline constexpr unsigned kGroup = 1u << 4;
inline constexpr unsigned kCentred = 1u << 5;  // labels are left-aligned otherwise
inline constexpr unsigned kVertical = 1u << 6;
inline constexpr unsigned kBothSides = 1u << 7;  // ticks on both sides
inline constexpr unsigned kNoTicks = 1u << 8;
inline constexpr unsigned kAutoTicks = 1u << 9;
}  // namespace control_style

struct ControlTemplate {
  int id;
  const char* name;  // the id's symbol, which is also the widget's object name
  ControlKind kind;
  const char* text;
  unsigned style;
  QRect rect;  // dialog units
};

struct DialogTemplate {
  int id;
  const char* caption;
  int fontPoints;                             // of the sans-serif face the layout was made for
  QSize size;                                 // of the client area, in dialog units
  std::span<const ControlTemplate> controls;  // in tab order
};

const DialogTemplate& PlayerTemplate();

}  // namespace app
