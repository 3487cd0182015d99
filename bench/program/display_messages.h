// The drive's messages of the measurement: display-line updates ("M", reply
// kind 0, 19-byte payload, 44 characters on the wire) for lines 0 to 3 in
// turn, text only (never graphic cells, so the program never switches display
// mode). Line 0 shows an output frequency that changes every round, so one
// message in four changes the display and three repeat a line as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TDisplayMessages {
 public:
  // The wire frame of the next message.
  const std::vector<uint8_t> &Next();

 private:
  uint32_t sent_ = 0;
  int tenthsHz_ = 325;
  std::vector<uint8_t> frame_;
};

// The answer is one valid request frame of a terminal ('K').
bool IsValidAnswer(const uint8_t *text, size_t length);
