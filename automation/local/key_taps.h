// Taps of a key that last until the line has carried them: the key goes
// down, stays down until answers have taken it to the converter, goes up,
// and the tap is done once the release has been carried too. A converter
// takes a key on its rising edge, so the same key tapped twice must be seen
// up in between. The D-Bus panel and the window's own recipe panel tap
// this way. Main thread only.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

#include "drive_link.h"
#include "keypad.h"
#include "link_observer.h"

class TKeyTaps : public QObject, public TLinkObserver {
  Q_OBJECT

 public:
  // A tap lets its key go, and is done, after this long when no answer has
  // carried it (no port, a silent line).
  static constexpr int kTapLimitMs = 1000;
  // Answers written after a key changed before the change counts as on the
  // line: the answer written next may have been made before the change (the
  // worker answers from what it was handed).
  static constexpr uint64_t kAnswersThatCarryAKey = 2;

  // Both outlive the taps. Observes the link from here on.
  TKeyTaps(TKeypad &keypad, TDriveLink &link, QObject *parent = nullptr);
  // Leaves the link; a tap still waiting lets its key go and is done.
  ~TKeyTaps() override;
  TKeyTaps(const TKeyTaps &) = delete;
  TKeyTaps &operator=(const TKeyTaps &) = delete;

  // Presses 'key' and calls 'done' once its press and release are on the
  // line (or the limit has passed); never from inside Tap.
  void Tap(int key, std::function<void()> done);
  bool Waiting() const { return !taps_.empty(); }

  // TLinkObserver
  void AnswerWritten(TLinkTime, const uint8_t *bytes, size_t length, bool written) override;

 private:
  struct TPendingTap {
    uint64_t id;
    int key;
    uint64_t answersAtChange;  // the answers written when the key last changed
    std::function<void()> done;
    bool released = false;
  };

  void Finish(uint64_t id);
  void AdvanceCarried();

  TKeypad &keypad_;
  TDriveLink &link_;
  std::vector<TPendingTap> taps_;
  uint64_t nextId_ = 1;
  uint64_t answersWritten_ = 0;
  bool closing_ = false;
};
