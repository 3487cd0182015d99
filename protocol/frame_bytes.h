// The bytes that frame the line's messages and say what a frame holds: the
// frame's first and last character, the message kind (the first payload
// byte), and the status byte of a converter message with its reply kinds.
// Kept in the project, for the program, its tools and tests; not installed
// and not part of kelvo.h.
#pragma once

#include <cstdint>

namespace kelvo {

inline constexpr uint8_t kStx = 0x02;  // starts every frame
inline constexpr uint8_t kEtx = 0x03;  // ends every frame

// Message kinds.
inline constexpr uint8_t kProgTermFrame = 0x4B;     // 'K': a request, a terminal's or the program's
inline constexpr uint8_t kConverterMessage = 0x4D;  // 'M': a message of the converter

// The status byte of a converter message (payload byte 2).
inline constexpr uint8_t kStatusLineMask = 0x03;  // bits 0-1: the display line
inline constexpr uint8_t kStatusErrorLed = 0x04;  // bit 2: the Error LED is on
inline constexpr uint8_t kStatusRunLed = 0x08;    // bit 3: the Run LED is on
inline constexpr int kReplyKindShift = 4;         // bits 4-7: the reply kind

inline constexpr int ReplyKind(uint8_t status) {
  return status >> kReplyKindShift;
}

// Reply kinds.
inline constexpr uint8_t kReplyKindDisplay = 0;         // 0 and 1: a display line
inline constexpr uint8_t kReplyKindFirstKeepAlive = 2;  // 2 .. 13: nothing to show or store
inline constexpr uint8_t kReplyKindLastKeepAlive = 13;
inline constexpr uint8_t kReplyKindMemoryWrite = 14;  // 16 bytes for the terminal memory
inline constexpr uint8_t kReplyKindMemoryRead = 15;   // a display line and an address to read

}  // namespace kelvo
