#include "app/remembered_settings.h"

#include <QAbstractSlider>
#include <QGuiApplication>
#include <QScreen>

#include "app/player_dialog.h"
#include "playback/playback_scales.h"

namespace app {

namespace {

const QString kVolumeKey = QStringLiteral("volume");
const QString kPositionKey = QStringLiteral("window/position");

QAbstractSlider* VolumeSlider(const PlayerDialog& dialog) {
  return dialog.findChild<QAbstractSlider*>(QStringLiteral("IDC_VOLUME"));
}

}  // namespace

RememberedSettings::RememberedSettings()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("voiceplayer"),
                QStringLiteral("voiceplayer")) {}

void RememberedSettings::RestoreWindowPosition(PlayerDialog& dialog) const {
  const QVariant saved = settings_.value(kPositionKey);
  if (saved.typeId() != QMetaType::QPoint) return;
  const QPoint position = saved.toPoint();
  // A screen unplugged since would put the window where no one sees it.
  if (QGuiApplication::screenAt(position) == nullptr) return;
  dialog.move(position);
}

// Saved as a level, 0 silent to 64 the loudest, as a person reads it; the
// slider stands upside down.
void RememberedSettings::ApplyVolume(PlayerDialog& dialog) const {
  bool valid = false;
  const int level = settings_.value(kVolumeKey).toInt(&valid);
  if (!valid || level < 0 || level > playback::kVolumeSliderMax) return;
  dialog.MoveVolumeSlider(playback::kVolumeSliderMax - level);
}

void RememberedSettings::Remember(const PlayerDialog& dialog) {
  settings_.setValue(kPositionKey, dialog.pos());
  // A disabled slider shows no volume of the user's.
  if (const QAbstractSlider* volume = VolumeSlider(dialog); volume && volume->isEnabled())
    settings_.setValue(kVolumeKey, playback::kVolumeSliderMax - volume->value());
  settings_.sync();
}

}  // namespace app
