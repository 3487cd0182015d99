#include "key_taps.h"

#include <QTimer>

TKeyTaps::TKeyTaps(TKeypad &keypad, TDriveLink &link, QObject *parent)
    : QObject(parent), keypad_(keypad), link_(link) {
  link_.AttachObserver(this);
}

TKeyTaps::~TKeyTaps() {
  link_.DetachObserver(this);
  closing_ = true;
  const std::vector<TPendingTap> waiting = std::move(taps_);
  for (const TPendingTap &tap : waiting) {
    if (!tap.released) {
      keypad_.Release(tap.key);
    }
    tap.done();
  }
}

void TKeyTaps::Tap(int key, std::function<void()> done) {
  if (closing_) {
    return;
  }
  keypad_.Press(key);
  const uint64_t id = nextId_++;
  taps_.push_back({id, key, answersWritten_, std::move(done)});
  QTimer::singleShot(kTapLimitMs, this, [this, id] { Finish(id); });
}

void TKeyTaps::Finish(uint64_t id) {
  for (auto tap = taps_.begin(); tap != taps_.end(); ++tap) {
    if (tap->id == id) {
      const TPendingTap done = std::move(*tap);
      taps_.erase(tap);
      if (!done.released) {
        keypad_.Release(done.key);
      }
      done.done();
      return;
    }
  }
}

// A tap is done only once answers have carried its release as well: the
// converter counts a key when it goes down, so a second tap of the same key
// right after the first must find it up on the line, or it is lost.
void TKeyTaps::AdvanceCarried() {
  std::vector<uint64_t> carried;
  for (TPendingTap &tap : taps_) {
    if (answersWritten_ < tap.answersAtChange + kAnswersThatCarryAKey) {
      continue;
    }
    if (tap.released) {
      carried.push_back(tap.id);
    } else {
      keypad_.Release(tap.key);
      tap.released = true;
      tap.answersAtChange = answersWritten_;
    }
  }
  for (const uint64_t id : carried) {
    Finish(id);
  }
}

void TKeyTaps::AnswerWritten(TLinkTime, const uint8_t *, size_t, bool written) {
  if (written) {
    ++answersWritten_;
    if (!taps_.empty()) {
      AdvanceCarried();
    }
  }
}
