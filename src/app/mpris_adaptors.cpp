#include "app/mpris_adaptors.h"

#include "app/mpris_service.h"

namespace app {

MprisRootAdaptor::MprisRootAdaptor(MprisService& service)
    : QDBusAbstractAdaptor(&service), service_(service) {}

QString MprisRootAdaptor::Identity() const {
  return service_.Identity();
}

// The desktop entry is named for the player's executable.
QString MprisRootAdaptor::DesktopEntry() const {
  return service_.playerName();
}

void MprisRootAdaptor::Raise() {
  service_.Raise();
}

void MprisRootAdaptor::Quit() {
  service_.Quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService& service)
    : QDBusAbstractAdaptor(&service), service_(service) {}

QString MprisPlayerAdaptor::PlaybackStatus() const {
  return MprisService::StatusName(service_.ShownStatus());
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
  return service_.Metadata();
}

double MprisPlayerAdaptor::Volume() const {
  return service_.Volume();
}

void MprisPlayerAdaptor::SetVolume(double volume) {
  service_.SetVolume(volume);
}

qlonglong MprisPlayerAdaptor::Position() const {
  return service_.Position();
}

bool MprisPlayerAdaptor::CanPlay() const {
  return service_.CanPlay();
}

bool MprisPlayerAdaptor::CanSeek() const {
  return service_.CanSeek();
}

void MprisPlayerAdaptor::Pause() {
  service_.Pause();
}

void MprisPlayerAdaptor::PlayPause() {
  service_.PlayPause();
}

void MprisPlayerAdaptor::Stop() {
  service_.Stop();
}

void MprisPlayerAdaptor::Play() {
  service_.Play();
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
  service_.SeekBy(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  service_.SeekTo(trackId, position);
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) {
  service_.OpenUri(uri);
}

}  // namespace app
