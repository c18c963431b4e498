#include "app/mpris_service.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QDBusMessage>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/mpris_adaptors.h"
#include "app/player_dialog.h"
#include "playback/playback_scales.h"
#include "playback/player_texts.h"

namespace app {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr qlonglong kMicrosecondsPerFrame = 10'000;

// A bus name's last element: letters, digits, '_' and '-', and no digit first.
QString BusNameElement(const QString& name) {
  QString element;
  for (const QChar c : name) {
    const bool allowed = (c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' || c == u'-';
    element += allowed ? c : QChar(u'_');
  }
  if (element.isEmpty() || element.front().isDigit()) element.prepend(u'_');
  return element;
}

template <typename Widget>
Widget* ChildOf(const PlayerDialog& dialog, const char* name) {
  return dialog.findChild<Widget*>(QString::fromLatin1(name));
}

}  // namespace

std::unique_ptr<MprisService> MprisService::Publish(PlayerDialog& dialog, QDBusConnection bus,
                                                    const QString& playerName,
                                                    std::function<void()> quit) {
  if (!bus.isConnected()) return nullptr;
  std::unique_ptr<MprisService> service(
      new MprisService(dialog, std::move(bus), playerName, std::move(quit)));
  if (!service->Register()) return nullptr;
  return service;
}

MprisService::MprisService(PlayerDialog& dialog, QDBusConnection bus, QString playerName,
                           std::function<void()> quit)
    : dialog_(dialog),
      bus_(std::move(bus)),
      playerName_(std::move(playerName)),
      quit_(std::move(quit)),
      play_(ChildOf<QAbstractButton>(dialog, "IDC_PLAY")),
      stop_(ChildOf<QAbstractButton>(dialog, "IDC_STOP")),
      position_(ChildOf<QAbstractSlider>(dialog, "IDC_POSITION")),
      volume_(ChildOf<QAbstractSlider>(dialog, "IDC_VOLUME")) {
  new MprisRootAdaptor(*this);
  player_ = new MprisPlayerAdaptor(*this);
  shown_ = Current();
  connect(&dialog_, &PlayerDialog::controlsChanged, this, &MprisService::ScheduleRefresh);
}

MprisService::~MprisService() {
  if (!serviceName_.isEmpty()) bus_.unregisterService(serviceName_);
  bus_.unregisterObject(kObjectPath);
}

bool MprisService::Register() {
  if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return false;
  const QString name = QStringLiteral("org.mpris.MediaPlayer2.") + BusNameElement(playerName_);
  const QString instance =
      name + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
  for (const QString& candidate : {name, instance}) {
    if (bus_.registerService(candidate)) {
      serviceName_ = candidate;
      return true;
    }
  }
  bus_.unregisterObject(kObjectPath);
  return false;
}

QString MprisService::StatusName(Status status) {
  switch (status) {
    case Status::kPlaying:
      return QStringLiteral("Playing");
    case Status::kPaused:
      return QStringLiteral("Paused");
    case Status::kStopped:
      break;
  }
  return QStringLiteral("Stopped");
}

QString MprisService::Identity() const {
  return dialog_.windowTitle();
}

// As the buttons show it: the Play button reads Pause while the sound plays;
// Stop can be pressed while a stream is paused.
MprisService::Status MprisService::ShownStatus() const {
  if (play_->text() == QString::fromUtf8(playback::kPauseCaption)) return Status::kPlaying;
  if (stop_->isEnabled()) return Status::kPaused;
  return Status::kStopped;
}

// The length is known once the recording's header has been read: for the
// embedded recording, at the first Play.
MprisService::Track MprisService::CurrentTrack() const {
  const playback::PlaybackState& state = dialog_.engine().state();
  return {QStringLiteral("/voiceplayer/track/") + QString::number(state.recordingNumber),
          QString::fromStdString(dialog_.engine().RecordingName()),
          std::max(state.frameCount, 0) * kMicrosecondsPerFrame};
}

QVariantMap MprisService::MetadataOf(const Track& track) {
  QVariantMap metadata;
  metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(track.id)));
  metadata.insert(QStringLiteral("xesam:title"), track.title);
  if (track.length > 0) metadata.insert(QStringLiteral("mpris:length"), track.length);
  return metadata;
}

QVariantMap MprisService::Metadata() const {
  return MetadataOf(CurrentTrack());
}

// The slider stands upside down: 0 is the loudest.
double MprisService::Volume() const {
  return static_cast<double>(playback::kVolumeSliderMax - volume_->value()) /
         playback::kVolumeSliderMax;
}

qlonglong MprisService::Position() const {
  return dialog_.PositionMicroseconds();
}

bool MprisService::CanPlay() const {
  return play_->isEnabled();
}

bool MprisService::CanSeek() const {
  return position_->isEnabled();
}

void MprisService::Raise() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        dialog_.showNormal();
        dialog_.raise();
        dialog_.activateWindow();
      },
      Qt::QueuedConnection);
}

void MprisService::Quit() {
  QMetaObject::invokeMethod(
      this, [this] { quit_(); }, Qt::QueuedConnection);
}

void MprisService::Play() {
  Later([this] { PressPlayIf(ShownStatus() != Status::kPlaying); });
}

void MprisService::Pause() {
  Later([this] { PressPlayIf(ShownStatus() == Status::kPlaying); });
}

void MprisService::PlayPause() {
  Later([this] { PressPlayIf(true); });
}

void MprisService::Stop() {
  Later([this] { stop_->click(); });
}

void MprisService::SeekBy(qlonglong offsetMicroseconds) {
  Later([this, offsetMicroseconds] {
    if (CanSeek()) SeekToMicroseconds(Position() + offsetMicroseconds);
  });
}

// Only a position within the recording the caller has in mind counts.
void MprisService::SeekTo(const QDBusObjectPath& trackId, qlonglong positionMicroseconds) {
  Later([this, trackId, positionMicroseconds] {
    const Track track = CurrentTrack();
    if (trackId.path() != track.id || positionMicroseconds < 0 ||
        positionMicroseconds > track.length)
      return;
    SeekToMicroseconds(positionMicroseconds);
  });
}

void MprisService::SetVolume(double volume) {
  Later([this, volume] {
    const double level = std::clamp(volume, 0.0, 1.0) * playback::kVolumeSliderMax;
    dialog_.MoveVolumeSlider(playback::kVolumeSliderMax - static_cast<int>(std::lround(level)));
  });
}

void MprisService::OpenUri(const QString& uri) {
  Later([this, uri] {
    const QUrl url(uri);
    if (url.isLocalFile()) dialog_.OpenVoiceFile(url.toLocalFile());
  });
}

void MprisService::Later(std::function<void()> action) {
  QMetaObject::invokeMethod(
      this,
      [this, action = std::move(action)] {
        if (DialogTakesInput()) action();
      },
      Qt::QueuedConnection);
}

bool MprisService::DialogTakesInput() const {
  const QWidget* modal = QApplication::activeModalWidget();
  return modal == nullptr || modal == &dialog_;
}

// The Play button is Play and Pause in one.
void MprisService::PressPlayIf(bool wanted) {
  if (wanted) play_->click();
}

// The slider spans the whole seconds of the recording; a point beyond them
// is its end, where a click on the slider would go.
void MprisService::SeekToMicroseconds(qlonglong target) {
  const uint32_t seconds = dialog_.engine().state().durationSeconds;
  if (seconds == 0) return;
  const double units = static_cast<double>(std::max<qlonglong>(target, 0)) *
                       playback::kSliderUnits / (seconds * 1e6);
  dialog_.SeekAsSlider(
      static_cast<int>(std::min<double>(std::lround(units), playback::kPositionSliderMax)));
}

MprisService::Shown MprisService::Current() const {
  return {ShownStatus(), CurrentTrack(), Volume(),
          CanPlay(),     CanSeek(),      dialog_.engine().state().seekBaseBytes};
}

// A burst of changes (a handler sets several labels) is told once.
void MprisService::ScheduleRefresh() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        refreshPending_ = false;
        Refresh();
      },
      Qt::QueuedConnection);
}

void MprisService::Refresh() {
  const Shown now = Current();
  QVariantMap changed;
  if (now.status != shown_.status)
    changed.insert(QStringLiteral("PlaybackStatus"), StatusName(now.status));
  if (now.track != shown_.track) changed.insert(QStringLiteral("Metadata"), MetadataOf(now.track));
  if (now.volume != shown_.volume) changed.insert(QStringLiteral("Volume"), now.volume);
  if (now.canPlay != shown_.canPlay) {
    changed.insert(QStringLiteral("CanPlay"), now.canPlay);
    changed.insert(QStringLiteral("CanPause"), now.canPlay);
  }
  if (now.canSeek != shown_.canSeek) changed.insert(QStringLiteral("CanSeek"), now.canSeek);
  // A jump within a stream that goes on; a new stream from the start is
  // told by its status.
  const bool seeked = now.status == shown_.status && now.status != Status::kStopped &&
                      now.seekBaseBytes != shown_.seekBaseBytes;
  shown_ = now;
  if (!changed.isEmpty()) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
  }
  if (seeked) emit player_->Seeked(Position());
}

}  // namespace app
