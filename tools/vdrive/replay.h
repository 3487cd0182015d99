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
#include <map>
#include <string>
#include <vector>

#include "pseudo_terminal.h"

namespace vdrive {

struct ReplayChunk {
  double t = 0.0;  // seconds, the capture's clock
  std::vector<uint8_t> bytes;
};

// What a capture holds for a replay.
struct ReplayPlan {
  std::vector<ReplayChunk> chunks;
  // Recorded answers by the number of complete messages before them.
  std::map<uint64_t, std::vector<uint8_t>> answers;
  uint64_t messages = 0;
};

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

// false with a reason for a file that is not a capture.
bool LoadReplayPlan(const std::string &path, ReplayPlan &plan, std::string &error);

// Compares answers given against the plan's recorded ones.
ReplayResult CompareAnswers(const ReplayPlan &plan,
                            const std::map<uint64_t, std::vector<uint8_t>> &given);

// Waits until another process has 'slavePath' open; false after 'timeout'
// or on a stop request.
bool WaitForOpener(const std::string &slavePath, std::chrono::milliseconds timeout);

// Plays the plan on the pty and returns the comparison.
ReplayResult Replay(const ReplayPlan &plan, const PseudoTerminal &pty, bool fast);

void PrintReplayResult(FILE *out, const ReplayResult &result);

}  // namespace vdrive
