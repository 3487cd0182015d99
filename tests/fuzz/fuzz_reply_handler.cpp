// Fuzzes the reply handler with sequences of received chunks and holds it to
// a model of the exchange: the receive buffer, frame cutting, link state,
// terminal memory, alerts and every answer written to the port.
//
// Input layout:
//   byte 0  flags: bit 0 PTConnect, 1 PTDisconnect, 2 the alert's check box
//           is answered, 3 with this value, 4 port connected at start,
//           5 port reopens after an alert, 6 unused, 7 "save memory"
//           enabled at start
//   byte 1  bits 0-2 SendSkipCount, 3-4 ProgTermCountdown (at most 3),
//           5 ConverterConnected
//   then records, each starting with a header byte h:
//     h 0x00-0x7F  a raw chunk of the next h bytes
//     h 0x80-0xBF  a well-formed frame whose payload is the next h & 0x3F bytes
//     h 0xC0-0xFF  an event: low five bits 0-10 press key n, 11 release all,
//                  12 watchdog tick, 13 toggle the port, 14 release the last
//                  key pressed, 15 nothing, 16-31 the last chunk again
//                  4 x (n - 15) times (a long stream from a short input; at
//                  most kMaxRepeatedFeeds such feeds per input, to keep runs
//                  fast)
// A record cut short by the end of the input uses what is there.
#include <QByteArray>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "frame_bytes.h"
#include "fuzz_require.h"
#include "kelvo.h"
#include "reply_handler.h"
#include "support/fake_port_control.h"
#include "support/link_frames.h"
#include "support/recording_link_host.h"

namespace {

using kelvo::kConverterMessage;
using kelvo::kProgTermFrame;
constexpr size_t kRequestFrameLength = 22;
constexpr uint8_t kCountdownStart = 3;
constexpr int kMaxRepeatedFeeds = 256;
constexpr std::array<TTerminalButton, 11> kButtons = {
    0x0104, 0x0010, 0x0120, 0x0102, 0x0101, 0x0004, 0x0008, 0x0108, 0x0110, 0x0001, 0x0002};

class TInput {
 public:
  TInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return position_ >= size_; }
  uint8_t Byte() { return AtEnd() ? 0 : data_[position_++]; }
  QByteArray Bytes(size_t count) {
    count = std::min(count, size_ - position_);
    QByteArray bytes(reinterpret_cast<const char *>(data_ + position_),
                     static_cast<qsizetype>(count));
    position_ += count;
    return bytes;
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t position_ = 0;
};

// A record's chunk; nothing for an event record.
bool ReadChunk(TInput &input, uint8_t header, QByteArray &chunk) {
  if (header < 0x80) {
    chunk = input.Bytes(header);
    return true;
  }
  if (header < 0xC0) {
    const QByteArray payload = input.Bytes(header & 0x3F);
    chunk = link_test::EncodeFrame(std::vector<uint8_t>(payload.begin(), payload.end()));
    return true;
  }
  return false;
}

using TMemoryBytes = std::array<uint8_t, TTerminalMemory::kSize>;

// What the image holds before the input: no two neighbours alike, so a byte
// stored at the wrong address shows.
const TMemoryBytes &MemoryPattern() {
  static const TMemoryBytes pattern = [] {
    TMemoryBytes bytes{};
    for (uint32_t a = 0; a < bytes.size(); ++a) {
      bytes[a] = static_cast<uint8_t>(a * 7 + 1);
    }
    return bytes;
  }();
  return pattern;
}

QByteArray Bounded(QByteArray buffer) {
  if (buffer.size() > TReplyHandler::kReceiveBufferLimit) {
    buffer.remove(0, buffer.size() - TReplyHandler::kReceiveBufferLimit);
  }
  return buffer;
}

// What the handler is expected to do with its state, kept independently.
// An answer written to the port: the memory-read answer it carries (0, 0 when
// none was due).
struct TExpectedAnswer {
  uint16_t address = 0;
  uint16_t value = 0;
};

struct TModel {
  TMemoryBytes memory{};
  uint8_t countdown = 0;
  uint8_t skip = 0;
  bool converterConnected = false;
  bool saveEnabled = false;
  bool ptConnect = false;
  bool ptDisconnect = false;
  size_t alerts = 0;
  int graphicModeSteps = 0;
  int displayRefreshes = 0;
  size_t converterMessages = 0;
  // The memory-read answer waiting in the request state, if any.
  bool readAnswerPending = false;
  uint16_t readAddress = 0;
  uint16_t readValue = 0;

  uint8_t Read(uint32_t address) const { return address < memory.size() ? memory[address] : 0; }
};

class TReplyHandlerFuzz {
 public:
  TReplyHandlerFuzz(const uint8_t *data, size_t size) : input_(data, size) {
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    Kelvo_SetAddress(0);
    Kelvo_SetValue(0, 0, 0, 0);
    Kelvo_SetType(0);
    host_.onProgTermAlert = [this] { DuringAlert(); };

    const uint8_t flags = input_.Byte();
    settings_.PTConnect = (flags & 0x01) != 0;
    settings_.PTDisconnect = (flags & 0x02) != 0;
    if ((flags & 0x04) != 0) {
      host_.progTermAlertAnswer = (flags & 0x08) != 0;
    }
    port_.portName = QStringLiteral("COM1");
    port_.connected = (flags & 0x10) != 0;
    if ((flags & 0x20) != 0) {
      port_.openable.insert(port_.portName);
    }
    host_.memorySaveEnabled = (flags & 0x80) != 0;

    const uint8_t state = input_.Byte();
    state_.SendSkipCount = state & 0x07;
    state_.ProgTermCountdown = std::min<uint8_t>((state >> 3) & 0x03, kCountdownStart);
    state_.ConverterConnected = (state & 0x20) != 0;

    model_.memory = MemoryPattern();
    std::copy(model_.memory.begin(), model_.memory.end(), memory_.Bytes());
    model_.countdown = state_.ProgTermCountdown;
    model_.skip = state_.SendSkipCount;
    model_.converterConnected = state_.ConverterConnected;
    model_.saveEnabled = host_.memorySaveEnabled;
    model_.ptConnect = settings_.PTConnect;
    model_.ptDisconnect = settings_.PTDisconnect;
    // The menu check marks always show the two alert settings.
    host_.connectAlertChecked = settings_.PTConnect;
    host_.disconnectAlertChecked = settings_.PTDisconnect;
  }

  void Run() {
    while (!input_.AtEnd()) {
      const uint8_t header = input_.Byte();
      QByteArray chunk;
      if (ReadChunk(input_, header, chunk)) {
        Feed(chunk);
        lastChunk_ = chunk;
      } else {
        Event(header & 0x1F);
      }
    }
    RequireMemoryAsModelled();
  }

 private:
  // While an alert is up the port is closed and the timer stopped.
  void DuringAlert() {
    REQUIRE(!port_.connected);
    REQUIRE(!host_.timerEnabled);
  }

  void Event(uint8_t code) {
    if (code < kButtons.size()) {
      lastButton_ = kButtons[code];
      Kelvo_SetButtonStatus(bePressed, lastButton_);
    } else if (code == 11) {
      Kelvo_SetButtonStatus(beReleaseAll, 0);
    } else if (code == 12) {
      // The watchdog's tick, as it treats the link state.
      if (state_.ReceivedFrameCount == 0) {
        state_.ConverterConnected = false;
        HoldOffAnswers(state_);
        model_.converterConnected = false;
        model_.skip = 5;
      }
      state_.ReceivedFrameCount = 0;
    } else if (code == 13) {
      port_.connected = !port_.connected;
    } else if (code == 14) {
      Kelvo_SetButtonStatus(beReleased, lastButton_);
    } else if (code >= 16) {
      for (int i = 0; i < 4 * (code - 15) && repeatedFeeds_ < kMaxRepeatedFeeds; ++i) {
        ++repeatedFeeds_;
        Feed(lastChunk_);
      }
    }
  }

  // Feeds the chunk, then replays on the model what the call must have done:
  // every frame the chunk completes is cut and handled in order; an alert
  // that reopens the port drops what is left of the line before it.
  void Feed(const QByteArray &chunk) {
    const uint16_t framesBefore = state_.ReceivedFrameCount;
    const size_t writesBefore = port_.written.size();
    bool connected = port_.connected;

    handler_.HandleReply(chunk);

    QByteArray buffer = Bounded(modelBuffer_ + chunk);
    std::vector<TExpectedAnswer> answers;
    uint16_t frames = 0;
    qsizetype etx = 0;
    while ((etx = buffer.indexOf('\x03')) >= 0) {
      const QByteArray frame = buffer.left(etx + 1);
      buffer.remove(0, etx + 1);
      ++frames;
      uint8_t payload[KELVO_MAX_PAYLOAD];
      size_t length = 0;
      const uint8_t kind = Kelvo_Check(reinterpret_cast<const uint8_t *>(frame.constData()),
                                       static_cast<size_t>(frame.size()), payload, &length);
      bool alerted = false;
      if (kind == kProgTermFrame) {
        alerted = ExpectProgTermFrame();
      } else if (kind == kConverterMessage) {
        alerted = ExpectConverterMessage(payload, length);
      }
      if (alerted) {
        // Closed for the dialog, then opened again if the port allows it.
        connected = port_.openable.contains(port_.portName);
      }
      if (kind == kConverterMessage) {
        ExpectAnswer(connected, answers);
      }
      if (alerted && connected) {
        buffer.clear();
        break;
      }
    }
    modelBuffer_ = buffer;

    REQUIRE(handler_.ReceiveBuffer() == modelBuffer_);
    REQUIRE(handler_.ReceiveBuffer().size() <= TReplyHandler::kReceiveBufferLimit);
    REQUIRE(state_.ReplyData.length <= KELVO_MAX_PAYLOAD);
    REQUIRE(state_.ReceivedFrameCount == static_cast<uint16_t>(framesBefore + frames));
    REQUIRE(state_.ProgTermCountdown <= kCountdownStart);
    REQUIRE(state_.ProgTermCountdown == model_.countdown);
    REQUIRE(state_.SendSkipCount == model_.skip);
    REQUIRE(state_.ConverterConnected == model_.converterConnected);
    REQUIRE(host_.memorySaveEnabled == model_.saveEnabled);
    REQUIRE(host_.progTermAlerts.size() == model_.alerts);
    REQUIRE(settings_.PTConnect == model_.ptConnect);
    REQUIRE(settings_.PTDisconnect == model_.ptDisconnect);
    REQUIRE(host_.connectAlertChecked == settings_.PTConnect);
    REQUIRE(host_.disconnectAlertChecked == settings_.PTDisconnect);
    REQUIRE(host_.updateGraphicModeCount == model_.graphicModeSteps);
    REQUIRE(host_.refreshDisplayCount == model_.displayRefreshes);
    REQUIRE(host_.timerEnabled);
    REQUIRE(port_.connected == connected);
    if (memoryWritten_) {
      RequireMemoryAsModelled();
      memoryWritten_ = false;
    }
    CheckWrites(writesBefore, answers);
  }

  void RequireMemoryAsModelled() const {
    // One memcmp: a byte-wise loop would be traced compare by compare.
    REQUIRE(std::memcmp(model_.memory.data(), memory_.Bytes(), model_.memory.size()) == 0);
  }

  // True when the frame shows an alert.
  bool ExpectProgTermFrame() {
    const bool alert = model_.countdown == 0 && model_.ptConnect;
    if (alert) {
      ExpectAlert(model_.ptConnect);
    }
    model_.countdown = kCountdownStart;
    return alert;
  }

  // True when the message shows an alert.
  bool ExpectConverterMessage(const uint8_t *payload, size_t length) {
    ++model_.converterMessages;
    model_.converterConnected = true;
    const bool alert = model_.countdown > 0 && --model_.countdown == 0 && model_.ptDisconnect;
    if (alert) {
      ExpectAlert(model_.ptDisconnect);
    }
    const int replyKind = length > 2 ? payload[2] >> 4 : 0;
    if (replyKind <= 1 && length >= TReplyHandler::kDisplayLineLength) {
      ++model_.graphicModeSteps;
    } else if (replyKind == 14 && length >= TReplyHandler::kMemoryBlockLength) {
      const uint32_t address = payload[3] * 256u + payload[4];
      for (uint32_t i = 0; i < 16; ++i) {
        if (address + i < model_.memory.size()) {
          model_.memory[address + i] = payload[5 + i];
        }
      }
      model_.saveEnabled = true;
      memoryWritten_ = true;
    } else if (replyKind == 15 && length >= TReplyHandler::kMemoryBlockLength) {
      ++model_.displayRefreshes;
      model_.readAddress = static_cast<uint16_t>(payload[19] * 256u + payload[20]);
      model_.readValue = static_cast<uint16_t>(model_.Read(model_.readAddress) * 256u +
                                               model_.Read(model_.readAddress + 1u));
      model_.readAnswerPending = true;
    }
    return alert;
  }

  // The message's answer: held back by the hold-off, or compiled (taking the
  // memory-read answer along) and written when the port is open.
  void ExpectAnswer(bool connected, std::vector<TExpectedAnswer> &answers) {
    if (model_.skip > 0) {
      --model_.skip;
      return;
    }
    if (connected) {
      answers.push_back(model_.readAnswerPending
                            ? TExpectedAnswer{model_.readAddress, model_.readValue}
                            : TExpectedAnswer{});
    }
    model_.readAnswerPending = false;
  }

  // The alert, with the user's choice taken into the setting.
  void ExpectAlert(bool &flag) {
    ++model_.alerts;
    if (host_.progTermAlertAnswer.has_value()) {
      flag = *host_.progTermAlertAnswer;
    }
  }

  void CheckWrites(size_t writesBefore, const std::vector<TExpectedAnswer> &answers) const {
    REQUIRE(port_.written.size() - writesBefore == answers.size());
    REQUIRE(port_.written.size() <= model_.converterMessages);
    for (size_t i = 0; i < answers.size(); ++i) {
      const QByteArray &request = port_.written[writesBefore + i];
      REQUIRE(static_cast<size_t>(request.size()) == kRequestFrameLength);
      const link_test::TDecodedRequest decoded = link_test::DecodeRequest(request);
      REQUIRE(decoded.valid);
      REQUIRE(decoded.address == answers[i].address);
      REQUIRE(decoded.value == answers[i].value);
    }
  }

  TInput input_;
  TLinkState state_;
  TTerminalMemory memory_;
  TProgramSettings settings_;
  TFakePortControl port_;
  TRecordingLinkHost host_;
  TReplyHandler handler_{state_, memory_, settings_, port_, host_, host_};
  TModel model_;
  QByteArray modelBuffer_;
  bool memoryWritten_ = false;
  TTerminalButton lastButton_ = kButtons[0];
  QByteArray lastChunk_;
  int repeatedFeeds_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TReplyHandlerFuzz(data, size).Run();
  return 0;
}
