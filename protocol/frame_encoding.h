// Wrapping a payload in the line's frame: STX, the payload's length, the
// payload and the checksum, each byte as two nibble characters, then ETX. The
// checksum is the 8-bit sum of STX and every nibble character before it.
// Kept in the project for the library and its tools; not installed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nibble_codec.h"

namespace kelvo {

inline constexpr size_t FrameSize(size_t payloadLength) {
  return 2 * (payloadLength + 2) + 2;  // length, payload, checksum; STX and ETX
}

// Writes the frame of the 'length' (at most 255) bytes at 'payload' through
// 'out' and returns 'out' past the ETX.
template <typename TOut>
TOut WriteFrame(const uint8_t *payload, size_t length, TOut out) {
  uint8_t sum = kChecksumStart;
  const auto putSummed = [&](uint8_t byte) {
    const uint8_t high = NibbleChar(byte >> 4);
    const uint8_t low = NibbleChar(byte);
    *out++ = high;
    *out++ = low;
    sum = static_cast<uint8_t>(sum + high + low);
  };
  *out++ = kStx;
  putSummed(static_cast<uint8_t>(length));
  for (size_t i = 0; i < length; ++i) {
    putSummed(payload[i]);
  }
  *out++ = NibbleChar(sum >> 4);
  *out++ = NibbleChar(sum);
  *out++ = kEtx;
  return out;
}

}  // namespace kelvo
