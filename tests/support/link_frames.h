// Frames for the link tests, built by the test-side frame encoder from the
// wire format alone.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "frame_bytes.h"
#include "frame_encoder.h"
#include "kelvo.h"

namespace link_test {

inline QByteArray EncodeFrame(const std::vector<uint8_t> &payload) {
  const std::vector<uint8_t> frame = kelvo_test::EncodeFrame(payload);
  return QByteArray(reinterpret_cast<const char *>(frame.data()),
                    static_cast<qsizetype>(frame.size()));
}

// A converter message: 'M', an unused byte, the status byte, then 'rest'
// padded with zeros up to 'length' payload bytes.
inline QByteArray ConverterMessage(uint8_t status, std::vector<uint8_t> rest = {},
                                   size_t length = 21) {
  std::vector<uint8_t> payload{kelvo::kConverterMessage, 0x00, status};
  payload.insert(payload.end(), rest.begin(), rest.end());
  payload.resize(length, 0);
  return EncodeFrame(payload);
}

// A display line (kind 0) of 16 characters for 'line' 0..3.
inline QByteArray DisplayLine(uint8_t line, const char *text = "Hello, converter") {
  std::vector<uint8_t> characters(text, text + 16);
  return ConverterMessage(line, characters);
}

// A memory write (kind 14) of 16 bytes at 'address'.
inline QByteArray MemoryWrite(uint16_t address, const std::vector<uint8_t> &data) {
  std::vector<uint8_t> rest{static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  rest.insert(rest.end(), data.begin(), data.end());
  rest.resize(18, 0);
  return ConverterMessage(0xE0, rest);
}

// A memory read request (kind 15) for 'address', with a display line.
inline QByteArray MemoryRead(uint16_t address) {
  std::vector<uint8_t> rest(16, 0x20);
  rest.push_back(static_cast<uint8_t>(address >> 8));
  rest.push_back(static_cast<uint8_t>(address));
  return ConverterMessage(0xF0, rest);
}

// A programming terminal's frame (the same kind of frame as a request).
inline QByteArray ProgTermFrame() {
  return EncodeFrame({kelvo::kProgTermFrame, 0, 0, 0, 0, 0, 0, 0});
}

// The fields of a request frame the program wrote.
struct TDecodedRequest {
  bool valid = false;
  uint8_t keyState0 = 0;
  uint8_t keyState1 = 0;
  uint16_t address = 0;
  uint16_t value = 0;
};

inline TDecodedRequest DecodeRequest(const QByteArray &frame) {
  uint8_t payload[KELVO_MAX_PAYLOAD];
  size_t length = 0;
  TDecodedRequest request;
  const uint8_t kind = Kelvo_Check(reinterpret_cast<const uint8_t *>(frame.constData()),
                                   static_cast<size_t>(frame.size()), payload, &length);
  if (kind != kelvo::kProgTermFrame || length < 8) {
    return request;
  }
  request.valid = true;
  request.keyState0 = payload[1];
  request.keyState1 = payload[2];
  request.address = static_cast<uint16_t>(payload[4] << 8 | payload[5]);
  request.value = static_cast<uint16_t>(payload[6] << 8 | payload[7]);
  return request;
}

}  // namespace link_test
