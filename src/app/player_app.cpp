#include "app/player_app.h"

#include <QApplication>
#include <QEventLoop>
#include <memory>

#include "app/player_dialog.h"

namespace app {

namespace {

// What QDialog::exec() does, except that a dialog ended while it was still
// being shown (a signal during the start-up warning about the device) does
// not leave the loop waiting for ever: exec() would start its loop only
// after that.
void RunModal(QDialog& dialog) {
  bool finished = false;
  QEventLoop loop;
  QObject::connect(&dialog, &QDialog::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
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

}  // namespace

bool PlayerApp::InitInstance() {
  auto dialog = std::make_unique<PlayerDialog>(device_, recording_);
  dialog_ = dialog.get();
  RunModal(*dialog);
  dialog_ = nullptr;
  // Destroying it closes the decoder and deletes the temporary recording.
  dialog.reset();
  return false;
}

void PlayerApp::EndOnSignal(int signal) {
  if (endingSignal_ == 0) endingSignal_ = signal;
  if (dialog_ == nullptr) return;
  CloseMessageBoxesOver(*dialog_);
  dialog_->OnCancel();
}

int PlayerApp::ExitStatus() const {
  return endingSignal_ != 0 ? 128 + endingSignal_ : 0;
}

}  // namespace app
