// When the simulated hand-held terminal shares the line: on a schedule
// (seconds 30 to 40 of every minute of the run) if asked for, and flipped by
// each SIGUSR1.
#pragma once

#include <chrono>

namespace vdrive {

class HandHeldTerminal {
 public:
  static constexpr auto kPeriod = std::chrono::seconds(60);
  static constexpr auto kFrom = std::chrono::seconds(30);
  static constexpr auto kUntil = std::chrono::seconds(40);

  explicit HandHeldTerminal(bool scheduled) : scheduled_(scheduled) {}
  void Toggle() { flipped_ = !flipped_; }
  bool Present(std::chrono::steady_clock::duration sinceStart) const {
    const auto inPeriod = sinceStart % kPeriod;
    const bool onSchedule = scheduled_ && inPeriod >= kFrom && inPeriod < kUntil;
    return onSchedule != flipped_;
  }

 private:
  bool scheduled_;
  bool flipped_ = false;
};

}  // namespace vdrive
