#include "played_converter.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "frame_bytes.h"
#include "support/frame_encoder.h"
#include "terminal_keys.h"

namespace {

// One character of 10 bits (start, 8 data, stop) at 19200 baud.
constexpr auto kCharacterTime = std::chrono::nanoseconds(10'000'000'000LL / 19200);
constexpr size_t kCharactersPerWrite = 8;
constexpr size_t kAnswerCharacters = 22;
constexpr auto kInterFrameGap = std::chrono::milliseconds(2);
constexpr int kAnswerTimeoutMs = 50;
constexpr int kGapMinMs = 20;
constexpr int kGapMaxMs = 40;
constexpr size_t kLineLength = 16;
constexpr char kCountPrefix[] = "Frame ";

// Lines 0, 2 and 3 never change; line 1 shows the count.
const char *const kStaticLines[] = {"Kimenet  25.0 Hz", nullptr, "Uzem      Elore ",
                                    "Terheles    42 %"};

std::vector<uint8_t> DisplayLineFrame(int line, const QByteArray &text) {
  uint8_t payload[3 + kLineLength] = {kelvo::kConverterMessage, 0, static_cast<uint8_t>(line)};
  std::memcpy(payload + 3, text.leftJustified(kLineLength, ' ', true).constData(), kLineLength);
  return kelvo_test::EncodeFrame(payload, sizeof payload);
}

// Payload byte 'index' of a frame from its STX (two nibble characters per byte
// after the two length characters).
uint8_t PayloadByte(const std::vector<uint8_t> &frame, size_t index) {
  return static_cast<uint8_t>(((frame[3 + 2 * index] & 0x0F) << 4) | (frame[4 + 2 * index] & 0x0F));
}

}  // namespace

QString CountLineText(uint32_t count) {
  return QString::fromLatin1(kCountPrefix) +
         QString::number(count).rightJustified(kLineLength - sizeof kCountPrefix + 1);
}

std::optional<uint32_t> CountOnLine(const QString &line) {
  if (!line.startsWith(QLatin1String(kCountPrefix))) {
    return std::nullopt;
  }
  bool ok = false;
  const uint32_t count = line.mid(sizeof kCountPrefix - 1).trimmed().toUInt(&ok);
  return ok ? std::optional<uint32_t>(count) : std::nullopt;
}

TPlayedConverter::TPlayedConverter(int master, TPace pace, int watchedKey)
    : master_(master),
      pace_(pace),
      keyByte_(static_cast<uint8_t>(1 + (kTerminalKeys.at(watchedKey).button >> 8))),
      keyMask_(static_cast<uint8_t>(kTerminalKeys.at(watchedKey).button & 0xFF)) {}

TPlayedConverter::~TPlayedConverter() {
  Stop();
}

void TPlayedConverter::Start() {
  thread_ = std::thread([this] { Play(); });
}

void TPlayedConverter::Stop() {
  stop_.store(true);
  if (thread_.joinable()) {
    thread_.join();
  }
}

std::vector<TPlayedConverter::TClock::time_point> TPlayedConverter::KeyDownSeen() const {
  const std::lock_guard lock(mutex_);
  return keyDownSeen_;
}

std::vector<TPlayedConverter::TClock::time_point> TPlayedConverter::KeyUpSeen() const {
  const std::lock_guard lock(mutex_);
  return keyUpSeen_;
}

size_t TPlayedConverter::KeyDownCount() const {
  const std::lock_guard lock(mutex_);
  return keyDownSeen_.size();
}

size_t TPlayedConverter::KeyUpCount() const {
  const std::lock_guard lock(mutex_);
  return keyUpSeen_.size();
}

std::vector<TPlayedConverter::TSentChange> TPlayedConverter::SentChanges() const {
  const std::lock_guard lock(mutex_);
  return sentChanges_;
}

void TPlayedConverter::Play() {
  while (!stop_.load()) {
    bool isChange = false;
    const std::vector<uint8_t> &message = NextMessage(TClock::now(), &isChange);
    const TClock::time_point etxWritten = Send(message);
    if (isChange) {
      const std::lock_guard lock(mutex_);
      sentChanges_.push_back({count_, etxWritten});
    }
    const std::optional<std::vector<uint8_t>> answer = ReadAnswer();
    if (!answer) {
      ++unanswered_;
      continue;
    }
    ++answers_;
    NoteKey(*answer);
    if (pace_ == TPace::Line) {
      SleepUntil(TClock::now() + kCharacterTime * kAnswerCharacters + kInterFrameGap);
    }
  }
}

const std::vector<uint8_t> &TPlayedConverter::NextMessage(TClock::time_point now, bool *isChange) {
  if (changing_.load() && now >= nextChange_) {
    std::uniform_int_distribution<int> gapMs(kGapMinMs, kGapMaxMs);
    nextChange_ = now + std::chrono::milliseconds(gapMs(random_));
    ++count_;
    *isChange = true;
    frame_ = DisplayLineFrame(1, CountLineText(count_).toLatin1());
    return frame_;
  }
  const int line = static_cast<int>(rotation_++ % 4);
  frame_ = DisplayLineFrame(
      line, line == 1 ? CountLineText(count_).toLatin1() : QByteArray(kStaticLines[line]));
  return frame_;
}

TPlayedConverter::TClock::time_point TPlayedConverter::Send(const std::vector<uint8_t> &frame) {
  if (pace_ == TPace::Fast) {
    WriteAll(frame.data(), frame.size());
    return TClock::now();
  }
  TClock::time_point due = TClock::now();
  for (size_t at = 0; at < frame.size(); at += kCharactersPerWrite) {
    const size_t length = std::min(kCharactersPerWrite, frame.size() - at);
    due += kCharacterTime * static_cast<int>(length);
    SleepUntil(due);
    WriteAll(frame.data() + at, length);
  }
  return TClock::now();
}

void TPlayedConverter::WriteAll(const uint8_t *bytes, size_t length) {
  while (length > 0 && !stop_.load()) {
    const ssize_t written = ::write(master_, bytes, length);
    if (written > 0) {
      bytes += written;
      length -= static_cast<size_t>(written);
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      pollfd room{master_, POLLOUT, 0};
      ::poll(&room, 1, kAnswerTimeoutMs);
    }
  }
}

std::optional<std::vector<uint8_t>> TPlayedConverter::ReadAnswer() {
  received_.clear();
  const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
  pollfd readable{master_, POLLIN, 0};
  while (!stop_.load()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
    if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    uint8_t buffer[256];
    const ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got > 0) {
      received_.insert(received_.end(), buffer, buffer + got);
    }
    const auto stx = std::find(received_.begin(), received_.end(), kelvo::kStx);
    const auto etx = std::find(stx, received_.end(), kelvo::kEtx);
    if (etx != received_.end()) {
      std::vector<uint8_t> frame(stx, etx + 1);
      // The payload's length, kind and two key bytes must be there.
      if (frame.size() < 11 || PayloadByte(frame, 0) != kelvo::kProgTermFrame) {
        return std::nullopt;
      }
      return frame;
    }
  }
  return std::nullopt;
}

void TPlayedConverter::NoteKey(const std::vector<uint8_t> &answer) {
  const bool down = (PayloadByte(answer, keyByte_) & keyMask_) != 0;
  if (down == keyDown_) {
    return;
  }
  keyDown_ = down;
  const TClock::time_point seen = TClock::now();
  {
    const std::lock_guard lock(mutex_);
    (down ? keyDownSeen_ : keyUpSeen_).push_back(seen);
  }
  if (onKeyChanged) {
    onKeyChanged();
  }
}

void TPlayedConverter::SleepUntil(TClock::time_point when) const {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  const timespec at{static_cast<time_t>(ns.count() / 1'000'000'000),
                    static_cast<long>(ns.count() % 1'000'000'000)};
  while (!stop_.load() && clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}
