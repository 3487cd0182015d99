// Test-side frame encoder, written from the wire format alone (and the frame
// bytes) so that the library's output and decoder can be checked against
// something independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame_bytes.h"

namespace kelvo_test {

inline std::vector<uint8_t> EncodeFrame(const uint8_t *payload, size_t length) {
  std::vector<uint8_t> frame;
  frame.reserve(2 * length + 6);
  frame.push_back(kelvo::kStx);
  uint8_t sum = kelvo::kStx;
  auto putByte = [&](uint8_t byte) {
    const uint8_t high = static_cast<uint8_t>(0x30 | (byte >> 4));
    const uint8_t low = static_cast<uint8_t>(0x30 | (byte & 0x0F));
    frame.push_back(high);
    frame.push_back(low);
    sum = static_cast<uint8_t>(sum + high + low);
  };
  putByte(static_cast<uint8_t>(length));
  for (size_t i = 0; i < length; ++i) {
    putByte(payload[i]);
  }
  frame.push_back(static_cast<uint8_t>(0x30 | (sum >> 4)));
  frame.push_back(static_cast<uint8_t>(0x30 | (sum & 0x0F)));
  frame.push_back(kelvo::kEtx);
  return frame;
}

inline std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t> &payload) {
  return EncodeFrame(payload.data(), payload.size());
}

}  // namespace kelvo_test
