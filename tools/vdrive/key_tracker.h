// Turns the key-state bytes of the terminal's answers into key presses: a key
// is pressed on the rising edge of its bit; held arrows repeat.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace vdrive {

using Clock = std::chrono::steady_clock;

enum class Key : uint8_t {
  Up,
  Left,
  Display,
  Right,
  Down,
  Escape,
  Enter,
  Jog,
  Direction,
  Start,
  Stop,
  kCount,
};

// The key's bit: high byte = key-state byte (0 or 1), low byte = mask.
uint16_t KeyBit(Key key);

struct KeyPress {
  Key key;
  int repeat;  // 0 for the press itself, 1, 2, ... for auto-repeats while held
};

class KeyTracker {
 public:
  static constexpr auto kRepeatDelay = std::chrono::milliseconds(500);
  static constexpr auto kRepeatInterval = std::chrono::milliseconds(100);

  // A new key state from an answer: the keys whose bit rose.
  std::vector<KeyPress> Update(uint8_t state0, uint8_t state1, Clock::time_point now);
  // Auto-repeats of held arrows that are due by now.
  std::vector<KeyPress> Repeats(Clock::time_point now);
  // Lets every key go (the terminal is no longer heard).
  void ReleaseAll();

  bool Held(Key key) const;

 private:
  struct Repeat {
    Clock::time_point next;
    int count = 0;
  };
  uint16_t held_ = 0;  // byte 1 in the high half
  Repeat repeat_[static_cast<int>(Key::kCount)]{};
};

}  // namespace vdrive
