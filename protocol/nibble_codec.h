// The two-characters-per-byte encoding shared by request and reply frames.
#pragma once

#include <cstdint>

#include "frame_bytes.h"

namespace kelvo {

inline constexpr uint8_t kChecksumStart = kStx;

inline constexpr uint8_t NibbleChar(uint8_t nibble) {
  return 0x30 | (nibble & 0x0F);
}
inline constexpr bool IsNibbleChar(uint8_t c) {
  return (c & 0xF0) == 0x30;
}

}  // namespace kelvo
