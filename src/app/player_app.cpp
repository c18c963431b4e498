#include "app/player_app.h"

#include <QApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QFile>
#include <functional>
#include <memory>
#include <optional>

#include "app/mpris_service.h"
#include "app/play_through.h"
#include "app/player_dialog.h"
#include "app/remembered_settings.h"

namespace app {

namespace {

// What QDialog::exec() does, except that a dialog ended while it was still
// being shown (a signal during the start-up warning about the device) does
// not leave the loop waiting for ever: exec() would start its loop only
// after that. `whenShown` runs once the dialog is up, unless it has ended.
void RunModal(QDialog& dialog, const std::function<void()>& whenShown) {
  bool finished = false;
  QEventLoop loop;
  QObject::connect(&dialog, &QDialog::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  if (!finished) whenShown();
  if (!finished) loop.exec(QEventLoop::DialogExec);
}

// A message box runs an event loop of its own inside a handler of the
// dialog, which has to return before the dialog's loop can end.
void CloseMessageBoxesOver(const QWidget& dialog) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QDialog*>(window);
    if (box != nullptr && box != &dialog && box->isVisible()) box->reject();
  }
}

// No one can see, let alone click, a message box on the offscreen platform.
bool NoOneSeesTheScreen() {
  return QGuiApplication::platformName() == QLatin1String("offscreen");
}

}  // namespace

bool PlayerApp::InitInstance() {
  auto dialog = std::make_unique<PlayerDialog>(device_, recording_);
  dialog_ = dialog.get();
  RememberedSettings settings;
  settings.RestoreWindowPosition(*dialog);
  // Named on the bus as its executable, and its desktop entry, are; without
  // a session bus the player is just not seen there.
  std::unique_ptr<MprisService> mpris = MprisService::Publish(
      *dialog, QDBusConnection::sessionBus(), QString::fromStdString(recording_.ApplicationName()),
      [this] { End(&PlayerDialog::OnOK); });
  std::optional<PlayThrough> playThrough;
  if (options_.playThrough) playThrough.emplace(*dialog, NoOneSeesTheScreen());
  RunModal(*dialog, [&] {
    settings.ApplyVolume(*dialog);
    if (!options_.file.empty()) dialog->OpenVoiceFile(QFile::decodeName(options_.file.c_str()));
    if (playThrough) playThrough->Start();
  });
  settings.Remember(*dialog);
  playedOut_ = playThrough && playThrough->outcome() == PlayThrough::Outcome::kPlayedOut;
  dialog_ = nullptr;
  mpris.reset();  // it acts on the dialog
  // Destroying it closes the decoder and deletes the temporary recording.
  dialog.reset();
  return false;
}

void PlayerApp::EndOnSignal(int signal) {
  if (endingSignal_ == 0) endingSignal_ = signal;
  End(&PlayerDialog::OnCancel);
}

// Also while a message box is open over the dialog: its own event loop
// would otherwise keep the handler that showed it, and so the dialog's.
void PlayerApp::End(void (PlayerDialog::*button)()) {
  if (dialog_ == nullptr) return;
  CloseMessageBoxesOver(*dialog_);
  (dialog_->*button)();
}

int PlayerApp::ExitStatus() const {
  if (endingSignal_ != 0) return 128 + endingSignal_;
  if (options_.playThrough) return playedOut_ ? 0 : 1;
  return 0;
}

}  // namespace app
