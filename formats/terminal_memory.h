// The image of the programming terminal's parameter memory: 8192 bytes at
// addresses 0x0000-0x1FFF. The converter writes it in 16-byte blocks and
// reads it two bytes at a time; the memory file keeps it between runs.
#pragma once

#include <array>
#include <cstdint>

class TTerminalMemory {
 public:
  static constexpr uint32_t kSize = 8192;

  // The byte at 'address'; 0 for an address outside the image.
  uint8_t Read(uint32_t address) const { return address < kSize ? bytes_[address] : uint8_t{0}; }
  // Stores 'value' at 'address'; an address outside the image is ignored.
  void Write(uint32_t address, uint8_t value) {
    if (address < kSize) {
      bytes_[address] = value;
    }
  }
  void Clear() { bytes_.fill(0); }

  uint8_t *Bytes() { return bytes_.data(); }
  const uint8_t *Bytes() const { return bytes_.data(); }

  bool operator==(const TTerminalMemory &other) const = default;

 private:
  std::array<uint8_t, kSize> bytes_{};
};
