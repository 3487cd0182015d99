// Plays the drive on the port: sends each message (at 19200-baud line pace
// unless fast), waits for the answer, times ETX written -> first answer byte
// read, checks the answer, and keeps a random gap before the next message.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <random>
#include <vector>

#include "display_messages.h"
#include "drive_options.h"
#include "pseudo_terminal.h"
#include "turnaround_record.h"

class TDrivePlayer {
 public:
  // 'stop' is set by a signal handler; every wait ends soon after it is set.
  TDrivePlayer(const vdrive::PseudoTerminal &port, const TDriveOptions &options,
               const volatile std::sig_atomic_t &stop);

  // Sends messages until the program answers one; false after the wait.
  // Unanswered messages are counted in record.warmUpUnanswered.
  bool WaitForFirstAnswer(TTurnaroundRecord &record);
  // The measured phase: options.messages messages, or options.durationSeconds.
  void Measure(TTurnaroundRecord &record);
  // Sends nothing for options.silentSeconds.
  void HoldSilent();

 private:
  using TClock = std::chrono::steady_clock;
  struct TAnswer {
    bool answered = false;
    bool valid = false;
    double turnaroundMs = 0;
  };

  // Writes the frame; returns when its ETX was written.
  TClock::time_point Send(const std::vector<uint8_t> &frame);
  bool WriteAll(const uint8_t *bytes, size_t length);
  TAnswer Receive(TClock::time_point etxWritten);
  // Reads and counts bytes that are waiting before a message goes out.
  uint64_t DrainLateBytes();
  void Gap();
  void SleepUntil(TClock::time_point when) const;
  bool Stopped() const { return stop_ != 0; }

  const vdrive::PseudoTerminal &port_;
  const TDriveOptions &options_;
  const volatile std::sig_atomic_t &stop_;
  TDisplayMessages messages_;
  std::mt19937 random_{42};
  std::vector<uint8_t> answer_;
};
