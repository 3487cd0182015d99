// Tells a held key's auto-repeat from a real release. With auto-repeat on,
// X11 sends a release and a press for every repeat; Qt marks such a release
// as a repeat only when the press has already been read from the server, so
// on a busy machine a repeat can come through as a real release followed by
// a press. Here a release is held back for the auto-repeat interval: a press
// of the same key within it cancels the release (the key never went up), and
// only a release that stays alone that long reaches the terminal.
//
// A key is down only from a press that reached the window. A repeat of a
// press that went to another window (a dialog that closed on it), or that
// came before the window lost the keyboard, presses nothing.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

class TKeyRepeatFilter : public QObject {
  Q_OBJECT

 public:
  using TKeyHandler = std::function<void(uint16_t virtualKey)>;

  // 'press' and 'release' receive the keys as the terminal sees them.
  TKeyRepeatFilter(TKeyHandler press, TKeyHandler release, QObject *parent = nullptr);

  // A key-down: passed on at once (a repeat repeats the press), and a
  // held-back release of the same key is dropped. A repeat ('autoRepeat',
  // or a press that follows its held-back release) of a key that is not
  // down presses nothing, and its held-back release is passed on.
  void KeyDown(uint16_t virtualKey, bool autoRepeat = false);
  // A key-up: passed on once HoldBackMs() have gone by without a press of
  // the same key.
  void KeyUp(uint16_t virtualKey);
  // Passes every held-back release on now and forgets every key down (the
  // window lost the keyboard): a key comes back only with a new press.
  void ReleaseNow();

  bool IsReleasePending(uint16_t virtualKey) const;
  // Pressed in this window and not released since.
  bool IsDown(uint16_t virtualKey) const;

  // How long a release is held back: the platform's auto-repeat interval,
  // never less than kMinimumHoldBackMs.
  static int HoldBackMs();
  static constexpr int kMinimumHoldBackMs = 50;

 private:
  struct TPendingRelease {
    uint16_t virtualKey;
    qint64 dueMs;
  };

  void PassDueReleases();
  void ArmTimer();

  TKeyHandler press_;
  TKeyHandler release_;
  std::vector<TPendingRelease> pending_;
  std::vector<uint16_t> down_;
  QTimer timer_;
  bool passing_ = false;
};
