// The terminal's keys worked with the mouse on the key pictures or with the
// PC keyboard. Presses and releases go through the keypad, the one way in
// for a key, which the automation uses too; every press and release, from
// wherever it came, changes the key's picture in both sizes.
#pragma once

#include <bitset>
#include <cstdint>

#include "front_panel.h"
#include "keypad.h"

class TImage;

class TKeyInput : public TKeypadObserver {
 public:
  // Both live as long as the key input.
  TKeyInput(TFrontPanel &panel, TKeypad &keypad);
  ~TKeyInput() override;
  TKeyInput(const TKeyInput &) = delete;
  TKeyInput &operator=(const TKeyInput &) = delete;

  // Mouse press or release on a key image (any mouse button).
  void ButtonMouseDown(TImage *sender);
  void ButtonMouseUp(TImage *sender);

  // Key down and up with a Windows virtual-key code; keys that are not
  // terminal keys change nothing.
  void FormKeyDown(uint16_t virtualKey);
  void FormKeyUp(uint16_t virtualKey);

  // Releases every terminal key that the window's mouse or keyboard holds,
  // as if its key-up or mouse release had come: the window lost the
  // keyboard or was deactivated, and the release would otherwise go to
  // another window. Keys a script holds stay down.
  void ReleaseHeldKeys();

  // Held by the window's mouse or keyboard.
  bool IsHeld(int key) const { return key >= 0 && key < kKeyCount && held_.test(key); }
  uint8_t CurrentButtonIndex() const { return currentButtonIndex_; }

  void KeyChanged(int key, bool down) override;

 private:
  void ShowKey(int key, bool pressed);

  TFrontPanel &panel_;
  TKeypad &keypad_;
  uint8_t currentButtonIndex_ = 0;
  std::bitset<kKeyCount> held_;
};
