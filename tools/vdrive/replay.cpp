#include "replay.h"

#include <dirent.h>
#include <poll.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <thread>

#include "capture_file.h"
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

std::string Hex(const std::vector<uint8_t> &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 0x0F];
  }
  return text;
}

// Collects the program's answers, each under the number of messages sent
// before its ETX arrived.
class AnswerCollector {
 public:
  void Feed(const uint8_t *bytes, size_t length, uint64_t messagesSent) {
    for (size_t i = 0; i < length; ++i) {
      if (bytes[i] == kStx) {
        frame_.clear();
      }
      frame_.push_back(bytes[i]);
      if (bytes[i] == kEtx) {
        given_.try_emplace(messagesSent, frame_);
        frame_.clear();
      }
    }
  }
  bool Has(uint64_t message) const { return given_.count(message) != 0; }
  const std::map<uint64_t, std::vector<uint8_t>> &Given() const { return given_; }

 private:
  std::vector<uint8_t> frame_;
  std::map<uint64_t, std::vector<uint8_t>> given_;
};

class Player {
 public:
  Player(const ReplayPlan &plan, const PseudoTerminal &pty) : plan_(plan), pty_(pty) {}

  // Reads what the program writes until 'deadline', or until the answer to
  // message 'awaited' has come when it is set; false on a stop request.
  bool ReadUntil(Clock::time_point deadline, std::optional<uint64_t> awaited) {
    pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {SignalWakeFd(), POLLIN, 0}};
    for (;;) {
      if (StopRequested()) {
        return false;
      }
      if (awaited && answers_.Has(*awaited)) {
        return true;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        return true;
      }
      const int ready = ::poll(fds, 2, static_cast<int>(std::max<int64_t>(1, left.count())));
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

  bool Send(const std::vector<uint8_t> &bytes) {
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
    ReplayResult result;
    if (plan_.chunks.empty()) {
      return CompareAnswers(plan_, answers_.Given());
    }
    const Clock::time_point start = Clock::now();
    const double firstT = plan_.chunks.front().t;
    uint64_t messagesBefore = 0;
    for (const ReplayChunk &chunk : plan_.chunks) {
      const bool messageEnded = messagesSent_ != messagesBefore;
      messagesBefore = messagesSent_;
      const bool awaiting = messageEnded && plan_.answers.count(messagesSent_) != 0;
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
      if (!ReadUntil(due, awaited) || !Send(chunk.bytes)) {
        break;
      }
      ++chunksSent_;
    }
    ReadUntil(Clock::now() + kAnswerWait, plan_.answers.count(messagesSent_) != 0
                                              ? std::optional<uint64_t>(messagesSent_)
                                              : std::nullopt);
    result = CompareAnswers(plan_, answers_.Given());
    result.chunksSent = chunksSent_;
    result.messagesSent = messagesSent_;
    return result;
  }

 private:
  const ReplayPlan &plan_;
  const PseudoTerminal &pty_;
  AnswerCollector answers_;
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

bool LoadReplayPlan(const std::string &path, ReplayPlan &plan, std::string &error) {
  std::vector<TCaptureRecord> records;
  QString reason;
  if (!ReadCaptureFile(QString::fromStdString(path), records, reason)) {
    error = path + ": " + reason.toStdString();
    return false;
  }
  if (records.empty() || records.front().kind != TCaptureRecord::TKind::Header) {
    error = path + ": not a Sorvanel capture (no header line)";
    return false;
  }
  plan = ReplayPlan();
  for (const TCaptureRecord &record : records) {
    const std::vector<uint8_t> bytes(record.bytes.begin(), record.bytes.end());
    if (record.kind == TCaptureRecord::TKind::Rx) {
      plan.chunks.push_back({record.t, bytes});
      plan.messages += static_cast<uint64_t>(std::count(bytes.begin(), bytes.end(), kEtx));
    } else if (record.kind == TCaptureRecord::TKind::Tx && !record.failed) {
      plan.answers.try_emplace(plan.messages, bytes);
    }
  }
  return true;
}

ReplayResult CompareAnswers(const ReplayPlan &plan,
                            const std::map<uint64_t, std::vector<uint8_t>> &given) {
  ReplayResult result;
  result.recordedAnswers = plan.answers.size();
  for (const auto &[message, recorded] : plan.answers) {
    const auto answer = given.find(message);
    if (answer == given.end()) {
      ++result.missing;
      if (result.differences.size() < kDifferencesShown) {
        result.differences.push_back("message " + std::to_string(message) + ": recorded " +
                                     Hex(recorded) + ", no answer");
      }
    } else if (answer->second == recorded) {
      ++result.matched;
    } else {
      ++result.differed;
      if (result.differences.size() < kDifferencesShown) {
        result.differences.push_back("message " + std::to_string(message) + ": recorded " +
                                     Hex(recorded) + ", given " + Hex(answer->second));
      }
    }
  }
  for (const auto &[message, answer] : given) {
    if (plan.answers.count(message) == 0) {
      ++result.extra;
    }
  }
  return result;
}

bool WaitForOpener(const std::string &slavePath, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!StopRequested() && Clock::now() < end) {
    if (OpenedByAnotherProcess(slavePath)) {
      // The program sets the line up and empties its input queue right after
      // the open: bytes sent before that would be thrown away, and the replay
      // would start one message behind the capture.
      std::this_thread::sleep_for(kOpenerSettle);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
