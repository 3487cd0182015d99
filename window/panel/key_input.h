// The terminal's keys worked with the mouse on the key pictures or with the
// PC keyboard: each press and release changes the key's picture in both
// sizes and records the key event in the protocol library.
#pragma once

#include <bitset>
#include <cstdint>

#include "front_panel.h"

class TImage;

class TKeyInput {
 public:
  explicit TKeyInput(TFrontPanel &panel) : panel_(panel) {}

  // Mouse press or release on a key image (any mouse button).
  void ButtonMouseDown(TImage *sender);
  void ButtonMouseUp(TImage *sender);

  // Key down and up with a Windows virtual-key code; keys that are not
  // terminal keys change nothing.
  void FormKeyDown(uint16_t virtualKey);
  void FormKeyUp(uint16_t virtualKey);

  // Releases every terminal key that is down, as if its key-up or mouse
  // release had come: the window lost the keyboard or was deactivated, and
  // the release would otherwise go to another window.
  void ReleaseHeldKeys();

  bool IsHeld(int key) const { return key >= 0 && key < kKeyCount && held_.test(key); }
  uint8_t CurrentButtonIndex() const { return currentButtonIndex_; }

 private:
  void ShowKey(int key, bool pressed);

  TFrontPanel &panel_;
  uint8_t currentButtonIndex_ = 0;
  std::bitset<kKeyCount> held_;
};
