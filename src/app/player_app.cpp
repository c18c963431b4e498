#include "app/player_app.h"

#include <memory>

#include "app/player_dialog.h"

namespace app {

bool PlayerApp::InitInstance() {
  auto dialog = std::make_unique<PlayerDialog>(device_, recording_);
  dialog->exec();
  // Destroying it closes the decoder and deletes the temporary recording.
  dialog.reset();
  return false;
}

}  // namespace app
