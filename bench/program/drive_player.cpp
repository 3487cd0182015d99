#include "drive_player.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "frame_bytes.h"

namespace {

// One character of 10 bits (start, 8 data, stop) at 19200 baud.
constexpr auto kCharacterTime = std::chrono::nanoseconds(10'000'000'000LL / 19200);
// Longest single wait, so a stop signal is noticed soon.
constexpr int kLongestWaitMs = 100;

double Milliseconds(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

}  // namespace

TDrivePlayer::TDrivePlayer(const vdrive::PseudoTerminal &port, const TDriveOptions &options,
                           const volatile std::sig_atomic_t &stop)
    : port_(port), options_(options), stop_(stop) {}

bool TDrivePlayer::WaitForFirstAnswer(TTurnaroundRecord &record) {
  const TClock::time_point end =
      TClock::now() + std::chrono::duration_cast<TClock::duration>(
                          std::chrono::duration<double>(options_.waitSeconds));
  while (!Stopped() && TClock::now() < end) {
    DrainLateBytes();
    const TAnswer answer = Receive(Send(messages_.Next()));
    if (answer.answered) {
      return true;
    }
    ++record.warmUpUnanswered;
    port_.DiscardUnread();
    Gap();
  }
  return false;
}

void TDrivePlayer::Measure(TTurnaroundRecord &record) {
  const TClock::time_point start = TClock::now();
  const auto duration = std::chrono::duration_cast<TClock::duration>(
      std::chrono::duration<double>(options_.durationSeconds));
  record.turnaroundMs.reserve(static_cast<size_t>(options_.messages));
  uint64_t sent = 0;
  while (!Stopped()) {
    if (options_.durationSeconds > 0 ? TClock::now() - start >= duration
                                     : sent >= static_cast<uint64_t>(options_.messages)) {
      break;
    }
    record.lateBytes += DrainLateBytes();
    const TClock::time_point etxWritten = Send(messages_.Next());
    const TAnswer answer = Receive(etxWritten);
    ++sent;
    if (!options_.timesFile.empty()) {
      record.timeline.emplace_back(Milliseconds(etxWritten - start) / 1000.0,
                                   answer.answered ? answer.turnaroundMs : -1.0);
    }
    if (answer.answered) {
      record.turnaroundMs.push_back(answer.turnaroundMs);
      record.invalidAnswers += answer.valid ? 0 : 1;
    } else {
      ++record.unanswered;
      port_.DiscardUnread();
    }
    if (options_.reportEvery > 0 && sent % static_cast<uint64_t>(options_.reportEvery) == 0) {
      std::printf("drive: exchanged %llu\n", static_cast<unsigned long long>(sent));
      std::fflush(stdout);
    }
    Gap();
  }
  record.seconds = Milliseconds(TClock::now() - start) / 1000.0;
}

void TDrivePlayer::HoldSilent() {
  const TClock::time_point end =
      TClock::now() + std::chrono::duration_cast<TClock::duration>(
                          std::chrono::duration<double>(options_.silentSeconds));
  while (!Stopped() && TClock::now() < end) {
    SleepUntil(std::min(end, TClock::now() + std::chrono::milliseconds(kLongestWaitMs)));
  }
}

TDrivePlayer::TClock::time_point TDrivePlayer::Send(const std::vector<uint8_t> &frame) {
  if (options_.fast) {
    WriteAll(frame.data(), frame.size());
    return TClock::now();
  }
  // Each piece goes when its last character would have left the wire.
  const auto chunk = static_cast<size_t>(options_.chunk);
  TClock::time_point due = TClock::now();
  for (size_t at = 0; at < frame.size(); at += chunk) {
    const size_t length = std::min(chunk, frame.size() - at);
    due += kCharacterTime * static_cast<int>(length);
    SleepUntil(due);
    WriteAll(frame.data() + at, length);
  }
  return TClock::now();
}

bool TDrivePlayer::WriteAll(const uint8_t *bytes, size_t length) {
  while (length > 0 && !Stopped()) {
    const ssize_t written = ::write(port_.Master(), bytes, length);
    if (written > 0) {
      bytes += written;
      length -= static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    }
    // The program does not read: wait for room as long as for an answer.
    pollfd room{port_.Master(), POLLOUT, 0};
    if (::poll(&room, 1, options_.answerTimeoutMs) == 0) {
      return false;
    }
  }
  return length == 0;
}

TDrivePlayer::TAnswer TDrivePlayer::Receive(TClock::time_point etxWritten) {
  TAnswer answer;
  answer_.clear();
  pollfd readable{port_.Master(), POLLIN, 0};
  TClock::time_point deadline = etxWritten + std::chrono::milliseconds(options_.answerTimeoutMs);
  while (!Stopped()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
    if (left.count() <= 0) {
      break;
    }
    const int ready = ::poll(&readable, 1, std::min<int>(static_cast<int>(left.count()), 100));
    if (ready <= 0 || (readable.revents & POLLIN) == 0) {
      continue;
    }
    const TClock::time_point now = TClock::now();
    uint8_t buffer[256];
    const ssize_t got = ::read(port_.Master(), buffer, sizeof buffer);
    if (got <= 0) {
      continue;
    }
    if (!answer.answered) {
      answer.answered = true;
      answer.turnaroundMs = Milliseconds(now - etxWritten);
      // The rest of the answer gets as long again from its first byte.
      deadline = now + std::chrono::milliseconds(options_.answerTimeoutMs);
    }
    answer_.insert(answer_.end(), buffer, buffer + got);
    const auto etx = std::find(answer_.begin(), answer_.end(), kelvo::kEtx);
    if (etx != answer_.end()) {
      answer.valid = IsValidAnswer(answer_.data(), static_cast<size_t>(etx - answer_.begin()) + 1);
      break;
    }
  }
  return answer;
}

uint64_t TDrivePlayer::DrainLateBytes() {
  uint64_t count = 0;
  uint8_t buffer[256];
  ssize_t got = 0;
  while ((got = ::read(port_.Master(), buffer, sizeof buffer)) > 0) {
    count += static_cast<uint64_t>(got);
  }
  return count;
}

void TDrivePlayer::Gap() {
  if (options_.gapMaxMs <= 0) {
    return;
  }
  std::uniform_int_distribution<int> gapUs(options_.gapMinMs * 1000, options_.gapMaxMs * 1000);
  SleepUntil(TClock::now() + std::chrono::microseconds(gapUs(random_)));
}

void TDrivePlayer::SleepUntil(TClock::time_point when) const {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  const timespec at{static_cast<time_t>(ns.count() / 1'000'000'000),
                    static_cast<long>(ns.count() % 1'000'000'000)};
  while (!Stopped() && clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}
