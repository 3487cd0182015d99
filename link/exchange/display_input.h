// What the reply handler hands to the display: the decoded converter
// messages that carry a display line. The display model takes them; tests
// record them.
#pragma once

#include "link_state.h"

class TDisplayInput {
 public:
  virtual ~TDisplayInput() = default;
  // A display message (reply kinds 0 and 1): the graphic-mode step, then the
  // line and the LEDs. Only called with at least 19 decoded bytes.
  virtual void ShowDisplayMessage(const TReplyData &reply) = 0;
  // The line and LEDs of a memory-read request, without the graphic-mode
  // step.
  virtual void ShowLine(const TReplyData &reply) = 0;
};
