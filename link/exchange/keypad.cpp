#include "keypad.h"

#include "kelvo.h"

bool TKeypad::Press(int key) {
  return Change(key, true);
}

bool TKeypad::Release(int key) {
  return Change(key, false);
}

void TKeypad::ReleaseAll() {
  for (int key = 0; key < kKeyCount; ++key) {
    if (down_.test(key)) {
      Release(key);
    }
  }
}

bool TKeypad::Change(int key, bool down) {
  if (key < 0 || key >= kKeyCount) {
    return false;
  }
  Kelvo_SetButtonStatus(down ? bePressed : beReleased, kTerminalKeys[key].button);
  down_.set(key, down);
  observers_.Tell([&](TKeypadObserver &observer) { observer.KeyChanged(key, down); });
  return true;
}
