// The converter of the bus latency bench, played on a pseudo-terminal's
// master end in a thread of its own. It sends display-line messages either
// at the line's pace (written 8 characters at a time at 19200 baud, then the
// line kept quiet for the answer's wire time and 2 ms, as vdrive does) or
// back to back (as vdrive --fast), reads each answer and notes when the
// watched key first shows down and first shows up again in one. While
// display changes are on, a message after each random gap of 20-40 ms
// writes a new count on line 1 ("Frame          7"), and the moment its ETX
// was written is noted.
#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

class TPlayedConverter {
 public:
  using TClock = std::chrono::steady_clock;
  enum class TPace { Line, Fast };
  struct TSentChange {
    uint32_t count;
    TClock::time_point etxWritten;
  };

  // 'master' stays open while the converter plays; 'watchedKey' is a key index.
  TPlayedConverter(int master, TPace pace, int watchedKey);
  ~TPlayedConverter();
  TPlayedConverter(const TPlayedConverter &) = delete;
  TPlayedConverter &operator=(const TPlayedConverter &) = delete;

  // Called on the converter's thread each time the watched key is seen
  // changed on the line. Set before Start.
  std::function<void()> onKeyChanged;

  void Start();
  void Stop();

  uint64_t Answers() const { return answers_.load(); }
  uint64_t Unanswered() const { return unanswered_.load(); }
  // When the watched key was first seen down (up) in an answer, in order.
  std::vector<TClock::time_point> KeyDownSeen() const;
  std::vector<TClock::time_point> KeyUpSeen() const;
  size_t KeyDownCount() const;
  size_t KeyUpCount() const;

  void SetDisplayChanges(bool on) { changing_.store(on); }
  std::vector<TSentChange> SentChanges() const;

 private:
  void Play();
  const std::vector<uint8_t> &NextMessage(TClock::time_point now, bool *isChange);
  TClock::time_point Send(const std::vector<uint8_t> &frame);
  void WriteAll(const uint8_t *bytes, size_t length);
  // The answer from its STX to its ETX, or nothing after the answer
  // time-out or for a frame that is no request.
  std::optional<std::vector<uint8_t>> ReadAnswer();
  void NoteKey(const std::vector<uint8_t> &answer);
  void SleepUntil(TClock::time_point when) const;

  const int master_;
  const TPace pace_;
  const uint8_t keyByte_;  // payload byte holding the key's bit
  const uint8_t keyMask_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> changing_{false};
  std::atomic<uint64_t> answers_{0};
  std::atomic<uint64_t> unanswered_{0};

  // Converter thread only.
  std::mt19937 random_{7};
  uint32_t rotation_ = 0;
  uint32_t count_ = 0;
  TClock::time_point nextChange_{};
  bool keyDown_ = false;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> received_;

  mutable std::mutex mutex_;  // guards what follows
  std::vector<TClock::time_point> keyDownSeen_;
  std::vector<TClock::time_point> keyUpSeen_;
  std::vector<TSentChange> sentChanges_;
};

// The text of line 1 that shows 'count', and the count read back from a
// line (nothing for another text).
QString CountLineText(uint32_t count);
std::optional<uint32_t> CountOnLine(const QString &line);
