#include "drive_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "frame_encoding.h"
#include "kelvo.h"

namespace vdrive {
namespace {

constexpr size_t kBodyStart = 3;

// 'M', an unused byte, the status byte, then room for the body.
std::vector<uint8_t> Header(uint8_t status, size_t bodyBytes) {
  std::vector<uint8_t> payload(kBodyStart + bodyBytes, 0);
  payload[0] = kelvo::kConverterMessage;
  payload[2] = status;
  return payload;
}

void VerifyWithKelvo(const Frame &frame, std::span<const uint8_t> payload) {
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t length = 0;
  const uint8_t kind = Kelvo_Check(frame.data(), frame.size(), decoded, &length);
  if (kind != payload.front() || length != payload.size() ||
      !std::equal(payload.begin(), payload.end(), decoded)) {
    std::fprintf(stderr, "vdrive: built a frame that does not check (Kelvo error %u)\n",
                 Kelvo_GetLastError());
    std::abort();
  }
}

}  // namespace

uint8_t StatusByte(uint8_t kind, int line, Leds leds) {
  return static_cast<uint8_t>(
      kind << kelvo::kReplyKindShift | (leds.run ? kelvo::kStatusRunLed : 0) |
      (leds.error ? kelvo::kStatusErrorLed : 0) | (line & kelvo::kStatusLineMask));
}

Frame EncodeFrame(std::span<const uint8_t> payload) {
  Frame frame;
  frame.reserve(kelvo::FrameSize(payload.size()));
  kelvo::WriteFrame(payload.data(), payload.size(), std::back_inserter(frame));
  VerifyWithKelvo(frame, payload);
  return frame;
}

std::vector<uint8_t> DisplayPayload(int line, const DisplayLine &codes, Leds leds) {
  return KeepAlivePayload(kelvo::kReplyKindDisplay, line, codes, leds);
}

std::vector<uint8_t> KeepAlivePayload(uint8_t kind, int line, const DisplayLine &codes, Leds leds) {
  std::vector<uint8_t> payload = Header(StatusByte(kind, line, leds), codes.size());
  std::copy(codes.begin(), codes.end(), payload.begin() + kBodyStart);
  return payload;
}

std::vector<uint8_t> MemoryWritePayload(uint16_t address, const std::array<uint8_t, 16> &data,
                                        Leds leds) {
  std::vector<uint8_t> payload =
      Header(StatusByte(kelvo::kReplyKindMemoryWrite, 0, leds), 2 + data.size());
  payload[kBodyStart] = static_cast<uint8_t>(address >> 8);
  payload[kBodyStart + 1] = static_cast<uint8_t>(address);
  std::copy(data.begin(), data.end(), payload.begin() + kBodyStart + 2);
  return payload;
}

std::optional<MemoryWrite> MemoryWriteOf(std::span<const uint8_t> payload) {
  MemoryWrite write{};
  if (payload.size() != kBodyStart + 2 + write.data.size() ||
      payload[0] != kelvo::kConverterMessage ||
      kelvo::ReplyKind(payload[2]) != kelvo::kReplyKindMemoryWrite) {
    return std::nullopt;
  }
  write.address = static_cast<uint16_t>(payload[kBodyStart] << 8 | payload[kBodyStart + 1]);
  std::copy_n(payload.begin() + kBodyStart + 2, write.data.size(), write.data.begin());
  return write;
}

std::vector<uint8_t> MemoryReadPayload(int line, const DisplayLine &codes, uint16_t address,
                                       Leds leds) {
  std::vector<uint8_t> payload =
      Header(StatusByte(kelvo::kReplyKindMemoryRead, line, leds), codes.size() + 2);
  std::copy(codes.begin(), codes.end(), payload.begin() + kBodyStart);
  payload[kBodyStart + codes.size()] = static_cast<uint8_t>(address >> 8);
  payload[kBodyStart + codes.size() + 1] = static_cast<uint8_t>(address);
  return payload;
}

Frame HandHeldTerminalFrame() {
  TTerminalMessageFrame record{};
  Kelvo_CompileMessage(&record);
  return Frame(record.bytes + 1, record.bytes + 1 + record.bytes[0]);
}

}  // namespace vdrive
