#include "app/resource_recording.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace app {

namespace {

std::string ResourcePath(const std::string& type, int id) {
  return ":/" + type + "/" + std::to_string(id);
}

}  // namespace

ResourceRecording::ResourceRecording(const std::optional<std::vector<uint8_t>>& packedVoice) {
  if (!packedVoice) return;
  loaded_.emplace(ResourcePath(playback::kVoiceResourceType, playback::kVoiceResourceId),
                  QByteArray(reinterpret_cast<const char*>(packedVoice->data()),
                             static_cast<qsizetype>(packedVoice->size())));
}

std::optional<std::span<const uint8_t>> ResourceRecording::FindResource(const std::string& type,
                                                                        int id) const {
  const std::string path = ResourcePath(type, id);
  auto found = loaded_.find(path);
  if (found == loaded_.end()) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    found = loaded_.emplace(path, file.readAll()).first;
  }
  const QByteArray& bytes = found->second;
  return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                  static_cast<size_t>(bytes.size()));
}

std::string ResourceRecording::ApplicationName() const {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

}  // namespace app
