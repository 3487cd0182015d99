// What a capture file holds for vdrive --replay: the converter's chunks with
// their times, and the program's recorded answers by the message they
// answer. The bytes of all of them lie back to back in one buffer, so a long
// capture costs little more memory than its bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vdrive {

// Where one chunk's or answer's bytes lie in ReplayPlan::bytes.
struct ByteSpan {
  uint32_t offset = 0;
  uint32_t length = 0;
};

struct ReplayChunk {
  double t = 0.0;  // seconds, the capture's clock
  ByteSpan bytes;
};

struct RecordedAnswer {
  uint64_t message = 0;  // the number of complete messages before it
  ByteSpan bytes;
};

struct ReplayPlan {
  std::vector<uint8_t> bytes;
  std::vector<ReplayChunk> chunks;
  std::vector<RecordedAnswer> answers;  // ascending by message, one per message
  uint64_t messages = 0;

  std::span<const uint8_t> Bytes(ByteSpan span) const {
    return {bytes.data() + span.offset, span.length};
  }
};

// false with "FILE: reason" for a file that is not a capture, is beyond the
// capture file's limits, or cannot be read, and when a stop signal came
// while it waited for a pipe's writer.
bool LoadReplayPlan(const std::string &path, ReplayPlan &plan, std::string &error);

}  // namespace vdrive
