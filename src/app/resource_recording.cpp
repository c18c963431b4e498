#include "app/resource_recording.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace app {

std::optional<std::span<const uint8_t>> ResourceRecording::FindResource(const std::string& type,
                                                                        int id) const {
  const std::string path = ":/" + type + "/" + std::to_string(id);
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
