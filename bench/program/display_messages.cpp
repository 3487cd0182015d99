#include "display_messages.h"

#include <cstdio>
#include <cstring>

#include "frame_bytes.h"
#include "kelvo.h"
#include "support/frame_encoder.h"

namespace {

constexpr size_t kLineLength = 16;

}  // namespace

const std::vector<uint8_t> &TDisplayMessages::Next() {
  const uint8_t line = static_cast<uint8_t>(sent_ % 4);
  char text[32];  // room for any int; the line takes the first 16
  switch (line) {
    case 0:
      tenthsHz_ = tenthsHz_ >= 500 ? 0 : tenthsHz_ + 1;
      std::snprintf(text, sizeof text, "Kimenet %3d.%d Hz", tenthsHz_ / 10, tenthsHz_ % 10);
      break;
    case 1:
      std::snprintf(text, sizeof text, "Alapjel  50.0 Hz");
      break;
    case 2:
      std::snprintf(text, sizeof text, "Uzem      Elore ");
      break;
    default:
      std::snprintf(text, sizeof text, "Terheles    42 %%");
      break;
  }
  uint8_t payload[3 + kLineLength] = {kelvo::kConverterMessage, 0,
                                      static_cast<uint8_t>(kelvo::kStatusRunLed | line)};
  std::memcpy(payload + 3, text, kLineLength);
  frame_ = kelvo_test::EncodeFrame(payload, sizeof payload);
  ++sent_;
  return frame_;
}

bool IsValidAnswer(const uint8_t *text, size_t length) {
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t decodedLength = 0;
  return Kelvo_Check(text, length, decoded, &decodedLength) == kelvo::kProgTermFrame;
}
