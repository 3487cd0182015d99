// A converter played by the test over a pseudo-terminal, for a window that
// runs in the same process: every wait runs the window's event loop, since
// the port's worker hands each chunk to the main thread and waits for it.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame_bytes.h"
#include "link_frames.h"
#include "link_state.h"
#include "pty_line.h"

namespace integration {

class TPtyDrive {
 public:
  // The window whose link state tells when a message was handled; set it
  // once the window exists.
  void WatchLink(TLinkState &link) { link_ = &link; }
  const QString &SlavePath() const { return line_.SlavePath(); }
  TPtyLine &Line() { return line_; }

  // Sends one message and waits until the program has handled it: its
  // payload is the last decoded reply. False when it was not taken in time.
  bool Deliver(const std::vector<uint8_t> &payload, int limitMs = 3000) {
    link_->ReplyData.length = 0;  // forget the last message, so this one is seen to arrive
    line_.Send(link_test::EncodeFrame(payload));
    return WaitUntil(
        [&] {
          const TReplyData &reply = link_->ReplyData;
          return reply.length == payload.size() &&
                 std::equal(payload.begin(), payload.end(), reply.bytes);
        },
        limitMs);
  }

  // The frames the program wrote since the last call, waiting up to
  // 'limitMs' for the first complete one. The program writes its answer
  // before the handler returns, so a short wait tells "no answer" apart.
  std::vector<QByteArray> Answers(int limitMs) {
    WaitUntil(
        [&] {
          pending_ += line_.Received(0);
          return pending_.contains('\x03');
        },
        limitMs);
    pending_ += line_.Received(0);
    std::vector<QByteArray> frames;
    qsizetype etx;
    while ((etx = pending_.indexOf('\x03')) >= 0) {
      frames.push_back(pending_.left(etx + 1));
      pending_.remove(0, etx + 1);
    }
    return frames;
  }

  // Delivers a message and returns the one answer it got (invalid when none).
  link_test::TDecodedRequest Exchange(const std::vector<uint8_t> &payload) {
    if (!Deliver(payload)) {
      return {};
    }
    const std::vector<QByteArray> answers = Answers(2000);
    return answers.size() == 1 ? link_test::DecodeRequest(answers.front())
                               : link_test::TDecodedRequest{};
  }

 private:
  TLinkState *link_ = nullptr;
  TPtyLine line_;
  QByteArray pending_;
};

// Payloads of converter messages: 'M', an unused byte, the status byte, then
// the rest. A line is exactly 16 display codes.
template <size_t N>
std::vector<uint8_t> DisplayPayload(uint8_t status, const char (&text)[N]) {
  static_assert(N == 17, "a display line has 16 characters");
  std::vector<uint8_t> payload{kelvo::kConverterMessage, 0x00, status};
  for (int i = 0; i < 16; ++i) {
    payload.push_back(static_cast<uint8_t>(text[i]));
  }
  return payload;
}

inline std::vector<uint8_t> MemoryWritePayload(uint16_t address, const std::vector<uint8_t> &data) {
  std::vector<uint8_t> payload{kelvo::kConverterMessage, 0x00, 0xE0,
                               static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  payload.insert(payload.end(), data.begin(), data.end());
  payload.resize(21, 0);
  return payload;
}

template <size_t N>
std::vector<uint8_t> MemoryReadPayload(uint16_t address, const char (&text)[N]) {
  std::vector<uint8_t> payload = DisplayPayload(0xF3, text);
  payload.push_back(static_cast<uint8_t>(address >> 8));
  payload.push_back(static_cast<uint8_t>(address));
  return payload;
}

inline const std::vector<uint8_t> kProgTermPayload{kelvo::kProgTermFrame, 0, 0, 0, 0, 0, 0, 0};

}  // namespace integration
