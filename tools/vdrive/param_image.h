// How a parameter set lies in the terminal's memory.
//
// Base address kParamBase (0x0100). Block 0 is the header, then the values:
//   header +0..3   "PSET"
//          +4      format version (1)
//          +5      number of values N
//          +6..7   data length in bytes (2N), high byte first
//          +8..9   save counter, high byte first (grows with each save)
//          +10..11 0
//          +12..13 CRC-16 of the data bytes, high byte first
//          +14..15 CRC-16 of header bytes 0..13, high byte first
//   data   +16..   N values of 16 bits, high byte first, padded with 0xFF to
//                  whole 16-byte blocks
// CRC-16: polynomial 0x1021, start 0xFFFF, no reflection, no final XOR.
// The base is not 0 so that an answer's echoed address can never be mistaken
// for the address 0 that carries no memory read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vdrive {

inline constexpr uint16_t kParamBase = 0x0100;
inline constexpr int kBlockSize = 16;
inline constexpr uint8_t kImageVersion = 1;

struct MemoryBlock {
  uint16_t address;
  std::array<uint8_t, kBlockSize> bytes;
};

uint16_t Crc16(std::span<const uint8_t> bytes);

// The blocks to write, data blocks first and the header last, so that a save
// cut short leaves a set whose checks fail rather than a mixed set.
std::vector<MemoryBlock> EncodeParamImage(std::span<const uint16_t> values, uint16_t saveCounter);

enum class HeaderVerdict { Ok, NoSet, BadFormat };

struct ImageHeader {
  uint8_t count;
  uint16_t dataLength;
  uint16_t saveCounter;
  uint16_t dataCrc;
};

// Checks the 16 header bytes; on Ok fills header.
HeaderVerdict DecodeHeader(std::span<const uint8_t> bytes, uint8_t expectedCount,
                           ImageHeader &header);

// The values from the data bytes, or nullopt when their CRC does not match.
std::optional<std::vector<uint16_t>> DecodeValues(const ImageHeader &header,
                                                  std::span<const uint8_t> data);

}  // namespace vdrive
