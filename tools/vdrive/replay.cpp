#include "replay.h"

#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <optional>

#include "frame_bytes.h"
#include "signals.h"

namespace vdrive {
namespace {

using Clock = std::chrono::steady_clock;
using kelvo::kEtx;
using kelvo::kStx;
// How long the program has to answer once a message is complete (a drive
// waits 50 ms); --fast waits this long before it gives up on an answer.
constexpr auto kAnswerWait = std::chrono::milliseconds(100);
// --fast leaves this gap after a message with no recorded answer (one the
// hold-off left unanswered), so the program reads each message on its own.
constexpr auto kUnansweredGap = std::chrono::milliseconds(5);
constexpr size_t kDifferencesShown = 5;
// Time the program is given to finish opening the port before the replay starts.
constexpr auto kOpenerSettle = std::chrono::milliseconds(300);

// The longest answer kept while it is read; a longer run of bytes without an
// ETX is not an answer of the program and is dropped.
constexpr size_t kLongestAnswer = 4096;
// The longest single wait in poll(); a longer wait is several of them.
constexpr std::chrono::milliseconds kLongestPoll(60000);

std::string Hex(std::span<const uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

// Cuts the program's output into answers (STX to ETX) and hands each to the
// tally under the number of messages sent before its ETX arrived.
class AnswerReader {
 public:
  explicit AnswerReader(AnswerTally &tally) : tally_(tally) {}

  void Feed(const uint8_t *bytes, size_t length, uint64_t messagesSent) {
    for (size_t i = 0; i < length; ++i) {
      if (bytes[i] == kStx || frame_.size() >= kLongestAnswer) {
        frame_.clear();
      }
      frame_.push_back(bytes[i]);
      if (bytes[i] == kEtx) {
        tally_.Given(messagesSent, frame_);
        lastAnswered_ = messagesSent;
        frame_.clear();
      }
    }
  }
  bool Answered(uint64_t message) const { return lastAnswered_ == message; }

 private:
  AnswerTally &tally_;
  std::vector<uint8_t> frame_;
  std::optional<uint64_t> lastAnswered_;
};

class Player {
 public:
  Player(const ReplayPlan &plan, const PseudoTerminal &pty)
      : plan_(plan), pty_(pty), tally_(plan), answers_(tally_) {}

  // Reads what the program writes until 'deadline', or until the answer to
  // message 'awaited' has come when it is set; false on a stop request.
  bool ReadUntil(Clock::time_point deadline, std::optional<uint64_t> awaited) {
    pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {SignalWakeFd(), POLLIN, 0}};
    for (;;) {
      if (StopRequested()) {
        return false;
      }
      if (awaited && answers_.Answered(*awaited)) {
        return true;
      }
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        return true;
      }
      const int ready = ::poll(fds, 2, static_cast<int>(std::min(left, kLongestPoll).count()));
      if (ready > 0 && (fds[1].revents & POLLIN)) {
        DrainSignalWakeFd();
      }
      if (ready > 0 && (fds[0].revents & POLLIN)) {
        uint8_t buffer[512];
        ssize_t got;
        while ((got = ::read(pty_.Master(), buffer, sizeof buffer)) > 0) {
          answers_.Feed(buffer, static_cast<size_t>(got), messagesSent_);
        }
      } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
        fds[0].fd = -1;
      }
    }
  }

  bool Send(std::span<const uint8_t> bytes) {
    size_t offset = 0;
    while (offset < bytes.size()) {
      const ssize_t written = ::write(pty_.Master(), bytes.data() + offset, bytes.size() - offset);
      if (written > 0) {
        offset += static_cast<size_t>(written);
      } else if (written < 0 && errno == EAGAIN) {
        if (!ReadUntil(Clock::now() + std::chrono::milliseconds(1), std::nullopt)) {
          return false;
        }
      } else if (!(written < 0 && errno == EINTR)) {
        return false;
      }
    }
    messagesSent_ += static_cast<uint64_t>(std::count(bytes.begin(), bytes.end(), kEtx));
    return true;
  }

  ReplayResult Play(bool fast) {
    if (plan_.chunks.empty()) {
      return tally_.Finish();
    }
    const Clock::time_point start = Clock::now();
    const double firstT = plan_.chunks.front().t;
    uint64_t messagesBefore = 0;
    for (const ReplayChunk &chunk : plan_.chunks) {
      const bool messageEnded = messagesSent_ != messagesBefore;
      messagesBefore = messagesSent_;
      const bool awaiting = messageEnded && HasRecordedAnswer(messagesSent_);
      Clock::time_point due = Clock::now();
      std::optional<uint64_t> awaited;
      if (fast) {
        if (awaiting) {
          due += kAnswerWait;
          awaited = messagesSent_;
        } else if (messageEnded) {
          due += kUnansweredGap;
        }
      } else {
        due = start + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(chunk.t - firstT));
      }
      if (!ReadUntil(due, awaited) || !Send(plan_.Bytes(chunk.bytes))) {
        break;
      }
      ++chunksSent_;
    }
    ReadUntil(Clock::now() + kAnswerWait, HasRecordedAnswer(messagesSent_)
                                              ? std::optional<uint64_t>(messagesSent_)
                                              : std::nullopt);
    ReplayResult result = tally_.Finish();
    result.chunksSent = chunksSent_;
    result.messagesSent = messagesSent_;
    return result;
  }

 private:
  bool HasRecordedAnswer(uint64_t message) const {
    return std::ranges::binary_search(plan_.answers, message, {}, &RecordedAnswer::message);
  }

  const ReplayPlan &plan_;
  const PseudoTerminal &pty_;
  AnswerTally tally_;
  AnswerReader answers_;
  uint64_t messagesSent_ = 0;
  uint64_t chunksSent_ = 0;
};

bool SameFile(const std::string &link, const std::string &path) {
  char target[512];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
  return length > 0 && std::string(target, static_cast<size_t>(length)) == path;
}

bool OpenedByAnotherProcess(const std::string &path) {
  const std::string self = std::to_string(::getpid());
  DIR *proc = ::opendir("/proc");
  if (proc == nullptr) {
    return false;
  }
  bool found = false;
  while (dirent *process = ::readdir(proc)) {
    const std::string pid = process->d_name;
    if (found || pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit) || pid == self) {
      continue;
    }
    const std::string fdFolder = "/proc/" + pid + "/fd";
    if (DIR *fds = ::opendir(fdFolder.c_str())) {
      while (dirent *fd = ::readdir(fds)) {
        if (fd->d_name[0] != '.' && SameFile(fdFolder + "/" + fd->d_name, path)) {
          found = true;
          break;
        }
      }
      ::closedir(fds);
    }
  }
  ::closedir(proc);
  return found;
}

}  // namespace

void AnswerTally::Given(uint64_t message, std::span<const uint8_t> answer) {
  if (lastGiven_ == message) {
    return;
  }
  lastGiven_ = message;
  PassMissingBefore(message);
  if (next_ == plan_.answers.size() || plan_.answers[next_].message != message) {
    ++result_.extra;
    return;
  }
  const std::span<const uint8_t> recorded = plan_.Bytes(plan_.answers[next_++].bytes);
  if (std::equal(recorded.begin(), recorded.end(), answer.begin(), answer.end())) {
    ++result_.matched;
  } else {
    ++result_.differed;
    if (result_.differences.size() < kDifferencesShown) {
      result_.differences.push_back("message " + std::to_string(message) + ": recorded " +
                                    Hex(recorded) + ", given " + Hex(answer));
    }
  }
}

ReplayResult AnswerTally::Finish() {
  PassMissingBefore(std::numeric_limits<uint64_t>::max());
  result_.recordedAnswers = plan_.answers.size();
  return result_;
}

void AnswerTally::PassMissingBefore(uint64_t message) {
  for (; next_ < plan_.answers.size() && plan_.answers[next_].message < message; ++next_) {
    ++result_.missing;
    if (result_.differences.size() < kDifferencesShown) {
      result_.differences.push_back("message " + std::to_string(plan_.answers[next_].message) +
                                    ": recorded " + Hex(plan_.Bytes(plan_.answers[next_].bytes)) +
                                    ", no answer");
    }
  }
}

bool WaitForOpener(const std::string &slavePath, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (Clock::now() < end) {
    if (OpenedByAnotherProcess(slavePath)) {
      // The program sets the line up and empties its input queue right after
      // the open: bytes sent before that would be thrown away, and the replay
      // would start one message behind the capture.
      return SleepUnlessStopped(kOpenerSettle);
    }
    if (!SleepUnlessStopped(std::chrono::milliseconds(50))) {
      return false;
    }
  }
  return false;
}

ReplayResult Replay(const ReplayPlan &plan, const PseudoTerminal &pty, bool fast) {
  Player player(plan, pty);
  return player.Play(fast);
}

void PrintReplayResult(FILE *out, const ReplayResult &result) {
  std::fprintf(out, "chunks sent %llu\n", static_cast<unsigned long long>(result.chunksSent));
  std::fprintf(out, "messages sent %llu\n", static_cast<unsigned long long>(result.messagesSent));
  std::fprintf(out, "recorded answers %llu\n",
               static_cast<unsigned long long>(result.recordedAnswers));
  std::fprintf(out, "matched %llu\n", static_cast<unsigned long long>(result.matched));
  std::fprintf(out, "differed %llu\n", static_cast<unsigned long long>(result.differed));
  std::fprintf(out, "missing %llu\n", static_cast<unsigned long long>(result.missing));
  std::fprintf(out, "extra answers %llu\n", static_cast<unsigned long long>(result.extra));
  for (const std::string &difference : result.differences) {
    std::fprintf(out, "  %s\n", difference.c_str());
  }
}

}  // namespace vdrive
