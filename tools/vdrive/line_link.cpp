#include "line_link.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "signals.h"

namespace vdrive {
namespace {

// A hand-held terminal's request gets this much quiet after it, so the
// program reads it apart from the next message.
constexpr auto kGapAfterUnanswered = std::chrono::milliseconds(3);

timespec ToTimespec(Clock::duration duration) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::max(duration, Clock::duration::zero()));
  return {static_cast<time_t>(ns.count() / 1000000000), static_cast<long>(ns.count() % 1000000000)};
}

}  // namespace

Exchange LineLink::Run(const Frame &message) {
  Exchange exchange;
  DropEarlyAnswers();
  if (!Send(message)) {
    exchange.stopped = true;
    return exchange;
  }
  exchange.messageEnd = Clock::now();
  // Whatever answered before the message was complete answered something else.
  DropEarlyAnswers();
  if (!ReadUntil(exchange.messageEnd + timing_.answerTimeout, true)) {
    exchange.stopped = true;
    return exchange;
  }
  if (!receiver_.HasAnswer()) {
    // Nobody took the message off the line: it is lost, as on a real wire.
    const int unread = pty_.UnreadBySlave();
    if (unread > 0) {
      counts_.discardedBytes += static_cast<uint64_t>(unread);
      pty_.DiscardUnread();
    }
    return exchange;
  }
  exchange.answer = receiver_.TakeAnswer();
  if (timing_.paced) {
    // The answer occupies the line for its length, then a short gap.
    const auto answerEnd = exchange.answer->startedAt +
                           timing_.characterTime * exchange.answer->frameBytes +
                           timing_.interFrameGap;
    exchange.stopped = !ReadUntil(answerEnd, false);
  }
  return exchange;
}

void LineLink::SendUnanswered(const Frame &frame) {
  if (!Send(frame)) {
    return;
  }
  const Clock::duration lastWrite =
      timing_.paced ? std::chrono::duration_cast<Clock::duration>(
                          timing_.characterTime * static_cast<int64_t>(timing_.charactersPerWrite))
                    : Clock::duration::zero();
  ReadUntil(Clock::now() + lastWrite + kGapAfterUnanswered, false);
}

// While pacing, each write waits until the line has carried the one before,
// so the last write (the one with the ETX) ends the message: a terminal can
// answer right after it, and the answer time-out starts then.
bool LineLink::Send(const Frame &frame) {
  if (!timing_.paced) {
    WriteAll(frame.data(), frame.size());
    return !StopRequested();
  }
  auto due = Clock::now();
  for (size_t offset = 0; offset < frame.size(); offset += timing_.charactersPerWrite) {
    if (!ReadUntil(due, false)) {
      return false;
    }
    const size_t length = std::min(timing_.charactersPerWrite, frame.size() - offset);
    if (!WriteAll(frame.data() + offset, length)) {
      break;
    }
    due += timing_.characterTime * length;
  }
  return !StopRequested();
}

bool LineLink::WriteAll(const uint8_t *bytes, size_t length) {
  bool discarded = false;
  while (length > 0) {
    const ssize_t written = ::write(pty_.Master(), bytes, length);
    if (written > 0) {
      bytes += written;
      length -= static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0 && errno == EAGAIN && !discarded) {
      // The slave's input is full: nobody reads the port. Those bytes are lost.
      counts_.discardedBytes += static_cast<uint64_t>(pty_.UnreadBySlave());
      pty_.DiscardUnread();
      discarded = true;
      continue;
    }
    ++counts_.droppedWrites;
    return false;
  }
  return true;
}

bool LineLink::ReadUntil(Clock::time_point deadline, bool untilAnswer) {
  pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {SignalWakeFd(), POLLIN, 0}};
  for (;;) {
    if (StopRequested()) {
      return false;
    }
    if (untilAnswer && receiver_.HasAnswer()) {
      return true;
    }
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
      return true;
    }
    const timespec timeout = ToTimespec(left);
    const int ready = ::ppoll(fds, 2, &timeout, nullptr);
    if (ready < 0 && errno != EINTR) {
      return !StopRequested();
    }
    if (ready > 0 && (fds[1].revents & POLLIN)) {
      DrainSignalWakeFd();
    }
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      ReadAvailable();
    } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
      fds[0].fd = -1;  // nothing to read until the next wait: no spinning
    }
  }
}

void LineLink::ReadAvailable() {
  uint8_t buffer[512];
  for (;;) {
    const ssize_t got = ::read(pty_.Master(), buffer, sizeof buffer);
    if (got <= 0) {
      return;
    }
    receiver_.Feed({buffer, static_cast<size_t>(got)}, Clock::now());
  }
}

void LineLink::DropEarlyAnswers() {
  while (receiver_.HasAnswer()) {
    receiver_.TakeAnswer();
    ++counts_.unexpectedAnswers;
  }
}

}  // namespace vdrive
