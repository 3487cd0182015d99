// A converter played by the test over a pseudo-terminal, for a window that
// runs in the same process or for the program as a process: every wait runs
// the event loop, since a window's port worker hands each chunk to the main
// thread and waits for it.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "frame_bytes.h"
#include "link_frames.h"
#include "link_state.h"
#include "pty_line.h"

namespace integration {

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
  std::vector<uint8_t> payload(21, 0);
  payload[0] = kelvo::kConverterMessage;
  payload[2] = 0xE0;
  payload[3] = static_cast<uint8_t>(address >> 8);
  payload[4] = static_cast<uint8_t>(address);
  std::copy_n(data.begin(), std::min<size_t>(data.size(), 16), payload.begin() + 5);
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

  // Sends display lines until one is answered; false when none of
  // 'maxMessages' is. The first ones after a start are held back.
  bool AnswersWithin(int maxMessages = 15) {
    for (int i = 0; i < maxMessages; ++i) {
      Deliver(DisplayPayload(1, "Alapjel  25.0 Hz"), 500);
      if (!Answers(50).empty()) {
        return true;
      }
    }
    return false;
  }

  // Sends 'payload' again and again until an answer that 'wanted' accepts
  // (any answer without it) comes back. Needs no window: the program may
  // run as a process.
  bool SendUntilAnswered(const std::vector<uint8_t> &payload,
                         const std::function<bool(const link_test::TDecodedRequest &)> &wanted = {},
                         int limitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
      line_.Send(link_test::EncodeFrame(payload));
      for (const QByteArray &frame : Answers(100)) {
        const link_test::TDecodedRequest answer = link_test::DecodeRequest(frame);
        if (wanted ? wanted(answer) : answer.valid) {
          return true;
        }
      }
    }
    return false;
  }

  // Writes 'block' into the program's terminal memory at 'address', then
  // reads it until an answer carries its first two bytes: the program holds
  // the block.
  bool WriteMemory(uint16_t address, const std::vector<uint8_t> &block) {
    line_.Send(link_test::EncodeFrame(MemoryWritePayload(address, block)));
    const auto value = static_cast<uint16_t>(block[0] << 8 | block[1]);
    return SendUntilAnswered(
        MemoryReadPayload(address, "Bet\x94lt\x82s 1/19   "),
        [&](const link_test::TDecodedRequest &answer) {
          return answer.address == address && answer.value == value;
        },
        5000);
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

}  // namespace integration
