// The player on the session bus as an MPRIS 2 media player
// (org.mpris.MediaPlayer2.<name>), so that the desktop's media keys and
// sound menus, and playerctl, can see and control it. It reads what the
// dialog shows, and acts through the dialog's own buttons and sliders, as a
// user would; it tells the bus of every change with PropertiesChanged.
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class QAbstractButton;
class QAbstractSlider;

namespace app {

class MprisPlayerAdaptor;
class PlayerDialog;

class MprisService : public QObject {
  Q_OBJECT

 public:
  enum class Status { kStopped, kPlaying, kPaused };
  // As PlaybackStatus spells it.
  static QString StatusName(Status status);

  // Registers the player on `bus` as org.mpris.MediaPlayer2.<playerName>,
  // or with ".instance<pid>" after that while another player holds the
  // name. None when the bus is not connected or refuses: the player then
  // goes on without it. `quit` ends the player as its Exit button does.
  static std::unique_ptr<MprisService> Publish(PlayerDialog& dialog, QDBusConnection bus,
                                               const QString& playerName,
                                               std::function<void()> quit);
  ~MprisService() override;

  const QString& serviceName() const { return serviceName_; }
  const QString& playerName() const { return playerName_; }

  // What the player shows.
  QString Identity() const;
  Status ShownStatus() const;
  QVariantMap Metadata() const;
  double Volume() const;
  qlonglong Position() const;
  bool CanPlay() const;
  bool CanSeek() const;

  // What the bus asks for. Each acts once the call has been answered (a
  // message box it leads to must not keep the caller waiting), through the
  // control a user would press, and, as for a user, not while a message box
  // is open over the dialog; Raise and Quit act always.
  void Raise();
  void Quit();
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void SeekBy(qlonglong offsetMicroseconds);
  void SeekTo(const QDBusObjectPath& trackId, qlonglong positionMicroseconds);
  void SetVolume(double volume);
  void OpenUri(const QString& uri);

 private:
  struct Track {
    QString id;  // an object path
    QString title;
    qlonglong length = 0;  // microseconds; 0 while not known
    bool operator==(const Track&) const = default;
  };
  // What PropertiesChanged and Seeked report, as last told.
  struct Shown {
    Status status = Status::kStopped;
    Track track;
    double volume = 0;
    bool canPlay = false;
    bool canSeek = false;
    int64_t seekBaseBytes = 0;
  };

  MprisService(PlayerDialog& dialog, QDBusConnection bus, QString playerName,
               std::function<void()> quit);
  bool Register();
  void Later(std::function<void()> action);
  bool DialogTakesInput() const;
  Track CurrentTrack() const;
  static QVariantMap MetadataOf(const Track& track);
  void PressPlayIf(bool wanted);
  void SeekToMicroseconds(qlonglong target);
  Shown Current() const;
  void ScheduleRefresh();
  void Refresh();

  PlayerDialog& dialog_;
  QDBusConnection bus_;
  const QString playerName_;
  const std::function<void()> quit_;
  QString serviceName_;
  QAbstractButton* play_ = nullptr;
  QAbstractButton* stop_ = nullptr;
  QAbstractSlider* position_ = nullptr;
  QAbstractSlider* volume_ = nullptr;
  MprisPlayerAdaptor* player_ = nullptr;  // owned by this object, as its child
  Shown shown_;
  bool refreshPending_ = false;
};

}  // namespace app
