// One exchange on the line as the drive leads it: send a message at the
// line's pace, wait for the terminal's answer for a limited time, and keep
// the line quiet for as long as the answer takes on the wire.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "drive_frame.h"
#include "frame_receiver.h"
#include "pseudo_terminal.h"

namespace vdrive {

struct LineTiming {
  // false: no pacing, every frame goes out at once (load tests).
  bool paced = true;
  // 10 bits per character at 19200 baud.
  std::chrono::nanoseconds characterTime{520833};
  // Characters handed to the line per write while pacing.
  size_t charactersPerWrite = 8;
  std::chrono::milliseconds answerTimeout{50};
  std::chrono::microseconds interFrameGap{2000};
};

struct Exchange {
  std::optional<TerminalAnswer> answer;  // none: timed out (or stopped)
  Clock::time_point messageEnd{};        // when the message's ETX was written
  bool stopped = false;
};

struct LineCounts {
  uint64_t unexpectedAnswers = 0;  // requests that answered no message of this drive
  uint64_t discardedBytes = 0;     // written but never read: nobody had the port open
  uint64_t droppedWrites = 0;      // the line took no more bytes
};

class LineLink {
 public:
  LineLink(const PseudoTerminal &pty, LineTiming timing) : pty_(pty), timing_(timing) {}

  // Sends one message and waits for its answer.
  Exchange Run(const Frame &message);
  // Sends a frame that expects no answer (a hand-held terminal's request).
  void SendUnanswered(const Frame &frame);

  const ReceiveCounts &ReceiverCounts() const { return receiver_.Counts(); }
  const LineCounts &Counts() const { return counts_; }

 private:
  // Writes the frame at the line's pace; false when stopped.
  bool Send(const Frame &frame);
  bool WriteAll(const uint8_t *bytes, size_t length);
  // Reads the line until the deadline, or until an answer waits when
  // untilAnswer is set; false when a stop was requested.
  bool ReadUntil(Clock::time_point deadline, bool untilAnswer);
  void ReadAvailable();
  void DropEarlyAnswers();

  const PseudoTerminal &pty_;
  LineTiming timing_;
  FrameReceiver receiver_;
  LineCounts counts_;
};

}  // namespace vdrive
