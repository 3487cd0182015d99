// A converter display message as the reply handler leaves it decoded for the
// display: 'M', an unused byte, the status byte, then 16 display codes
// ('codes' padded with spaces).
#pragma once

#include <QByteArray>
#include <cstdint>

#include "frame_bytes.h"
#include "link_state.h"

inline TReplyData DisplayReply(uint8_t status, const QByteArray &codes) {
  constexpr int kCodes = 16;
  TReplyData reply;
  reply.bytes[0] = kelvo::kConverterMessage;
  reply.bytes[2] = status;
  for (int i = 0; i < kCodes; ++i) {
    reply.bytes[3 + i] = static_cast<uint8_t>(i < codes.size() ? codes[i] : ' ');
  }
  reply.length = 3 + kCodes;
  return reply;
}
