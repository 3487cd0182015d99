// The one way in for a terminal key. The window's mouse and keyboard and the
// automation press and release keys here, by key index; the key state goes
// to the protocol library, which carries it in the next answer to the
// converter. Observers (the key pictures, the automation) are told of every
// press and release, also a repeated press of a key that is already down.
// Main thread only.
#pragma once

#include <bitset>

#include "observer_list.h"
#include "terminal_keys.h"

class TKeypadObserver {
 public:
  virtual ~TKeypadObserver() = default;
  virtual void KeyChanged(int key, bool down) = 0;
};

class TKeypad {
 public:
  // Each returns false, and does nothing, for a key index outside 0..10.
  bool Press(int key);
  bool Release(int key);
  // Releases every key that is down.
  void ReleaseAll();

  bool IsDown(int key) const { return key >= 0 && key < kKeyCount && down_.test(key); }

  void Attach(TKeypadObserver *observer) { observers_.Attach(observer); }
  void Detach(TKeypadObserver *observer) { observers_.Detach(observer); }

 private:
  bool Change(int key, bool down);

  std::bitset<kKeyCount> down_;
  TObserverList<TKeypadObserver> observers_;
};
