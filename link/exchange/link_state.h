// The values that describe the link to the converter, shared by the reply
// handler, the watchdog, the display and the status bar. One instance,
// owned by the main window, touched on the main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kelvo.h"

// The decoded payload of the last frame checked. Byte 0 is the message kind,
// byte 2 the status byte of a converter message; bytes 3.. depend on the kind.
struct TReplyData {
  uint8_t bytes[KELVO_MAX_PAYLOAD] = {};
  size_t length = 0;

  uint8_t Status() const { return length > 2 ? bytes[2] : 0; }
};

struct TLinkState {
  TReplyData ReplyData;
  uint16_t ReceivedFrameCount = 0;  // frames cut since the watchdog last looked
  uint8_t SendSkipCount = 0;        // converter messages still to leave unanswered
  bool ConverterConnected = false;  // converter messages are arriving
  uint8_t ProgTermCountdown = 0;    // 0: no programming terminal on the line
};

// How many converter messages the hold-off leaves unanswered.
inline constexpr uint8_t kAnswerHoldOff = 5;

// Leaves the next kAnswerHoldOff converter messages unanswered: at start, after a
// watchdog tick that saw no frame, and when the display enters or leaves the
// bar-graph screen.
inline void HoldOffAnswers(TLinkState &linkState) {
  linkState.SendSkipCount = kAnswerHoldOff;
}
