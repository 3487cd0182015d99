#include "window_keyboard.h"

#include <QKeyEvent>

#include "key_mapping.h"

TWindowKeyboard::TWindowKeyboard(TFrontPanel &panel, TKeypad &keypad)
    : input_(panel, keypad),
      repeat_([this](uint16_t key) { input_.FormKeyDown(key); },
              [this](uint16_t key) { input_.FormKeyUp(key); }) {}

bool TWindowKeyboard::KeyPress(const QKeyEvent &event) {
  const uint16_t virtualKey = QtKeyToVirtualKey(event.key());
  if (virtualKey == 0) {
    return false;
  }
  // An auto-repeated key-down repeats the press of a key down here.
  repeat_.KeyDown(virtualKey, event.isAutoRepeat());
  return true;
}

bool TWindowKeyboard::KeyRelease(const QKeyEvent &event) {
  const uint16_t virtualKey = QtKeyToVirtualKey(event.key());
  if (virtualKey == 0) {
    return false;
  }
  // X11 sends a release before every repeated press; the key is still down.
  // Qt recognises most of them; the filter catches the rest.
  if (!event.isAutoRepeat()) {
    repeat_.KeyUp(virtualKey);
  }
  return true;
}

void TWindowKeyboard::LetGo() {
  repeat_.ReleaseNow();
  input_.ReleaseHeldKeys();
}
