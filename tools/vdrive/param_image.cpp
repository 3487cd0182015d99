#include "param_image.h"

#include <algorithm>

namespace vdrive {
namespace {

constexpr uint8_t kMagic[4] = {'P', 'S', 'E', 'T'};
constexpr int kHeaderCrcOffset = 14;

void PutWord(uint8_t *at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

uint16_t GetWord(const uint8_t *at) {
  return static_cast<uint16_t>(at[0] << 8 | at[1]);
}

}  // namespace

uint16_t Crc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc ^= static_cast<uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>(crc << 1 ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
    }
  }
  return crc;
}

std::vector<MemoryBlock> EncodeParamImage(std::span<const uint16_t> values, uint16_t saveCounter) {
  std::vector<uint8_t> data(values.size() * 2);
  for (size_t i = 0; i < values.size(); ++i) {
    PutWord(&data[2 * i], values[i]);
  }
  std::vector<MemoryBlock> blocks;
  for (size_t offset = 0; offset < data.size(); offset += kBlockSize) {
    MemoryBlock block{static_cast<uint16_t>(kParamBase + kBlockSize + offset), {}};
    block.bytes.fill(0xFF);
    std::copy(
        data.begin() + static_cast<std::ptrdiff_t>(offset),
        data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), offset + kBlockSize)),
        block.bytes.begin());
    blocks.push_back(block);
  }
  MemoryBlock header{kParamBase, {}};
  uint8_t *h = header.bytes.data();
  std::copy(std::begin(kMagic), std::end(kMagic), h);
  h[4] = kImageVersion;
  h[5] = static_cast<uint8_t>(values.size());
  PutWord(h + 6, static_cast<uint16_t>(data.size()));
  PutWord(h + 8, saveCounter);
  PutWord(h + 12, Crc16(data));
  PutWord(h + kHeaderCrcOffset, Crc16({h, kHeaderCrcOffset}));
  blocks.push_back(header);
  return blocks;
}

HeaderVerdict DecodeHeader(std::span<const uint8_t> bytes, uint8_t expectedCount,
                           ImageHeader &header) {
  if (bytes.size() < kBlockSize ||
      !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin()) ||
      GetWord(&bytes[kHeaderCrcOffset]) != Crc16(bytes.first(kHeaderCrcOffset))) {
    return HeaderVerdict::NoSet;
  }
  const ImageHeader read{bytes[5], GetWord(&bytes[6]), GetWord(&bytes[8]), GetWord(&bytes[12])};
  if (bytes[4] != kImageVersion || read.count != expectedCount ||
      read.dataLength != 2 * read.count) {
    return HeaderVerdict::BadFormat;
  }
  header = read;
  return HeaderVerdict::Ok;
}

std::optional<std::vector<uint16_t>> DecodeValues(const ImageHeader &header,
                                                  std::span<const uint8_t> data) {
  if (data.size() < header.dataLength) {
    return std::nullopt;
  }
  const auto used = data.first(header.dataLength);
  if (Crc16(used) != header.dataCrc) {
    return std::nullopt;
  }
  std::vector<uint16_t> values(header.count);
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = GetWord(&used[2 * i]);
  }
  return values;
}

}  // namespace vdrive
