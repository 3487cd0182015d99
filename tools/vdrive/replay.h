// vdrive --replay: plays the drive's side of a capture file (its "rx"
// chunks) back to the program on the pseudo-terminal, at the recorded pace or
// as fast as the program answers, and compares the program's answers with
// the recorded ones byte for byte.
//
// Answers are matched by the converter message they answer: the recorded
// answer that followed the n-th complete message of the capture against the
// program's answer that followed the n-th message of the replay.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pseudo_terminal.h"
#include "replay_plan.h"

namespace vdrive {

struct ReplayResult {
  uint64_t chunksSent = 0;
  uint64_t messagesSent = 0;
  uint64_t recordedAnswers = 0;
  uint64_t matched = 0;
  uint64_t differed = 0;  // answered, but not byte for byte
  uint64_t missing = 0;   // recorded, but the program did not answer
  uint64_t extra = 0;     // the program answered a message that had no recorded answer
  std::vector<std::string> differences;  // the first few, for the report
};

// Compares the program's answers with the plan's recorded ones as they come,
// in memory that does not grow with the replay.
class AnswerTally {
 public:
  explicit AnswerTally(const ReplayPlan &plan) : plan_(plan) {}

  // The program's answer after 'message' messages; the first one counts.
  // Answers come in the order of their messages.
  void Given(uint64_t message, std::span<const uint8_t> answer);
  // Counts the recorded answers that never came.
  ReplayResult Finish();

 private:
  // Counts the recorded answers before 'message' that were not given.
  void PassMissingBefore(uint64_t message);

  const ReplayPlan &plan_;
  size_t next_ = 0;  // the first recorded answer not yet settled
  std::optional<uint64_t> lastGiven_;
  ReplayResult result_;
};

// Waits until another process has 'slavePath' open; false after 'timeout'
// or on a stop request.
bool WaitForOpener(const std::string &slavePath, std::chrono::milliseconds timeout);

// Plays the plan on the pty and returns the comparison.
ReplayResult Replay(const ReplayPlan &plan, const PseudoTerminal &pty, bool fast);

void PrintReplayResult(FILE *out, const ReplayResult &result);

}  // namespace vdrive
