// The player's message map: which handler of the engine each message of the
// user-interface thread's queue goes to.
#pragma once

#include "playback/message.h"
#include "playback/message_queue.h"
#include "playback/player_view.h"

namespace playback {

class PlaybackEngine;

// A slider's scroll notification: the code in the low 16 bits of wparam, the
// slider's position in the high 16, the slider's control id in lparam.
Message MakeScrollMessage(uint32_t id, int code, int position, Control slider);
// A button press: the button's control id in wparam.
Message MakeCommandMessage(Control button);

// Messages the engine has no handler for are ignored.
void RouteMessage(PlaybackEngine& engine, const Message& message);

// Routes the queued messages one at a time, in order, until the queue is
// empty (messages posted meanwhile included); returns how many it routed.
int DispatchQueued(MessageQueue& queue, PlaybackEngine& engine);

}  // namespace playback
