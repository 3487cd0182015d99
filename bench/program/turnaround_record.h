// What the measuring drive counts: turnaround times (ETX written -> first
// answer byte read) and the fate of every message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

struct TTurnaroundRecord {
  std::vector<double> turnaroundMs;  // answered messages of the measured phase
  uint64_t unanswered = 0;           // measured messages without an answer in time
  uint64_t invalidAnswers = 0;       // answers that failed the check or were not 'K'
  uint64_t lateBytes = 0;            // bytes that came after their message was given up
  uint64_t warmUpUnanswered = 0;     // messages before the program's first answer
  double seconds = 0;                // length of the measured phase
  // Per measured message when asked for: seconds since the phase began, and
  // the turnaround in ms (negative: unanswered).
  std::vector<std::pair<double, double>> timeline;

  // Value at 'fraction' (0..1) of the sorted times; 0 without any.
  double Percentile(double fraction) const;
  void Print(std::FILE *out) const;
  // Writes the timeline, one "seconds turnaround" line per message ("-" for
  // an unanswered one); false when the file cannot be written.
  bool WriteTimeline(const std::string &path) const;
};
