#include "key_tracker.h"

namespace vdrive {
namespace {

constexpr uint16_t kKeyBits[] = {0x0104, 0x0010, 0x0120, 0x0102, 0x0101, 0x0004,
                                 0x0008, 0x0108, 0x0110, 0x0001, 0x0002};

// The key's bit in the 16-bit state word that holds byte 1 high and byte 0 low.
uint16_t StateMask(Key key) {
  const uint16_t bit = KeyBit(key);
  return (bit & 0xFF00) ? static_cast<uint16_t>((bit & 0xFF) << 8) : bit;
}

bool Repeats(Key key) {
  return key == Key::Up || key == Key::Down || key == Key::Left || key == Key::Right;
}

}  // namespace

uint16_t KeyBit(Key key) {
  return kKeyBits[static_cast<int>(key)];
}

std::vector<KeyPress> KeyTracker::Update(uint8_t state0, uint8_t state1, Clock::time_point now) {
  const uint16_t state = static_cast<uint16_t>(state1 << 8 | state0);
  const uint16_t rising = state & ~held_;
  held_ = state;
  std::vector<KeyPress> presses;
  for (int k = 0; k < static_cast<int>(Key::kCount); ++k) {
    const Key key = static_cast<Key>(k);
    if (rising & StateMask(key)) {
      presses.push_back({key, 0});
      repeat_[k] = {now + kRepeatDelay, 0};
    }
  }
  return presses;
}

std::vector<KeyPress> KeyTracker::Repeats(Clock::time_point now) {
  std::vector<KeyPress> presses;
  for (int k = 0; k < static_cast<int>(Key::kCount); ++k) {
    const Key key = static_cast<Key>(k);
    if (!vdrive::Repeats(key) || !Held(key)) {
      continue;
    }
    // At most one repeat per call: a late call must not fire a burst.
    if (now >= repeat_[k].next) {
      presses.push_back({key, ++repeat_[k].count});
      repeat_[k].next = now + kRepeatInterval;
    }
  }
  return presses;
}

void KeyTracker::ReleaseAll() {
  held_ = 0;
}

bool KeyTracker::Held(Key key) const {
  return (held_ & StateMask(key)) != 0;
}

}  // namespace vdrive
