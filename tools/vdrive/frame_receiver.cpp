#include "frame_receiver.h"

#include "frame_bytes.h"
#include "kelvo.h"

namespace vdrive {
namespace {

using kelvo::kEtx;
using kelvo::kStx;

constexpr size_t kRequestBytes = 8;

}  // namespace

void FrameReceiver::Feed(std::span<const uint8_t> bytes, Clock::time_point now) {
  for (uint8_t byte : bytes) {
    if (byte == kStx) {
      if (!frame_.empty()) {
        ++counts_.brokenFrames;  // a frame cut short by the next one
      }
      frame_.assign(1, kStx);
      frameStart_ = now;
      continue;
    }
    if (frame_.empty()) {
      ++counts_.junkBytes;
      continue;
    }
    frame_.push_back(byte);
    if (byte == kEtx) {
      Complete();
      frame_.clear();
    } else if (frame_.size() >= kMaxFrameBytes) {
      ++counts_.brokenFrames;
      frame_.clear();
    }
  }
}

void FrameReceiver::Complete() {
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t length = 0;
  const uint8_t kind = Kelvo_Check(frame_.data(), frame_.size(), decoded, &length);
  if (kind == KELVO_CHECK_FAILED) {
    ++counts_.brokenFrames;
    return;
  }
  if (kind != kelvo::kProgTermFrame || length < kRequestBytes) {
    ++counts_.otherFrames;
    return;
  }
  if (answers_.size() >= kMaxQueued) {
    answers_.pop_front();
  }
  answers_.push_back(
      {decoded[1], decoded[2], decoded[3], static_cast<uint16_t>(decoded[4] << 8 | decoded[5]),
       static_cast<uint16_t>(decoded[6] << 8 | decoded[7]), frameStart_, frame_.size()});
}

TerminalAnswer FrameReceiver::TakeAnswer() {
  TerminalAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

}  // namespace vdrive
