// The drive's side of the line: the "M" messages it sends and the frames it
// takes from the line.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "display_text.h"
#include "frame_bytes.h"

namespace vdrive {

using Frame = std::vector<uint8_t>;

struct Leds {
  bool error;
  bool run;
};

uint8_t StatusByte(uint8_t kind, int line, Leds leds);

// Wraps a payload in the line's frame: STX, length, payload, checksum, ETX,
// each byte as two nibble characters. Every frame is checked back through
// Kelvo before it leaves; a frame Kelvo does not read back as the same
// payload is a defect, and the program stops rather than send it.
Frame EncodeFrame(std::span<const uint8_t> payload);

std::vector<uint8_t> DisplayPayload(int line, const DisplayLine &codes, Leds leds);
std::vector<uint8_t> KeepAlivePayload(uint8_t kind, int line, const DisplayLine &codes, Leds leds);
std::vector<uint8_t> MemoryWritePayload(uint16_t address, const std::array<uint8_t, 16> &data,
                                        Leds leds);
std::vector<uint8_t> MemoryReadPayload(int line, const DisplayLine &codes, uint16_t address,
                                       Leds leds);

// The request frame a hand-held terminal with no key held sends, built by Kelvo.
Frame HandHeldTerminalFrame();

}  // namespace vdrive
