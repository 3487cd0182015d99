// The PC keyboard as the main window receives it. Keys that can be terminal
// keys go to the key input through the auto-repeat filter; every other key
// is left to the window. A window that loses the keyboard lets go of every
// key it holds, so no release goes to another window.
#pragma once

#include "front_panel.h"
#include "key_input.h"
#include "key_repeat_filter.h"

class QKeyEvent;

class TWindowKeyboard {
 public:
  TWindowKeyboard(TFrontPanel &panel, TKeypad &keypad);

  // Each returns true when it took the key; the window handles the others.
  bool KeyPress(const QKeyEvent &event);
  bool KeyRelease(const QKeyEvent &event);
  // The window lost the keyboard focus or was deactivated.
  void LetGo();

  TKeyInput &Input() { return input_; }
  TKeyRepeatFilter &Repeat() { return repeat_; }

 private:
  TKeyInput input_;
  TKeyRepeatFilter repeat_;
};
