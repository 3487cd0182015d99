// Cuts the bytes read from the line into frames and checks each through
// Kelvo. Bytes outside frames, broken frames and frames of other kinds are
// counted and dropped; the buffer never holds more than one frame.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace vdrive {

using Clock = std::chrono::steady_clock;

// A terminal's request ("K" frame) as the drive reads it.
struct TerminalAnswer {
  uint8_t keyState0;
  uint8_t keyState1;
  uint8_t type;
  uint16_t address;
  uint16_t value1;
  Clock::time_point startedAt;  // when its STX was read
  size_t frameBytes;
};

struct ReceiveCounts {
  uint64_t junkBytes = 0;     // bytes outside any frame
  uint64_t brokenFrames = 0;  // failed the check, overlong, or cut by a new STX
  uint64_t otherFrames = 0;   // valid, but not a terminal's request
};

class FrameReceiver {
 public:
  static constexpr size_t kMaxFrameBytes = 2 * 255 + 6;
  static constexpr size_t kMaxQueued = 64;

  void Feed(std::span<const uint8_t> bytes, Clock::time_point now);
  bool HasAnswer() const { return !answers_.empty(); }
  TerminalAnswer TakeAnswer();
  const ReceiveCounts &Counts() const { return counts_; }

 private:
  void Complete();

  std::vector<uint8_t> frame_;  // from STX on, empty between frames
  Clock::time_point frameStart_{};
  std::deque<TerminalAnswer> answers_;
  ReceiveCounts counts_;
};

}  // namespace vdrive
