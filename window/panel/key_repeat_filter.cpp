#include "key_repeat_filter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScopedValueRollback>
#include <QStyleHints>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

qint64 NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TKeyRepeatFilter::TKeyRepeatFilter(TKeyHandler press, TKeyHandler release, QObject *parent)
    : QObject(parent), press_(std::move(press)), release_(std::move(release)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &TKeyRepeatFilter::PassDueReleases);
}

int TKeyRepeatFilter::HoldBackMs() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
  const double rate = QGuiApplication::styleHints()->keyboardAutoRepeatRateF();
#else
  const double rate = QGuiApplication::styleHints()->keyboardAutoRepeatRate();
#endif
  const int interval = rate > 0 ? static_cast<int>(std::ceil(1000.0 / rate)) : kMinimumHoldBackMs;
  return std::max(interval, kMinimumHoldBackMs);
}

bool TKeyRepeatFilter::IsReleasePending(uint16_t virtualKey) const {
  return std::any_of(pending_.begin(), pending_.end(), [virtualKey](const TPendingRelease &entry) {
    return entry.virtualKey == virtualKey;
  });
}

bool TKeyRepeatFilter::IsDown(uint16_t virtualKey) const {
  return std::find(down_.begin(), down_.end(), virtualKey) != down_.end();
}

void TKeyRepeatFilter::KeyDown(uint16_t virtualKey, bool autoRepeat) {
  const bool releaseWasPending =
      std::erase_if(pending_, [virtualKey](const TPendingRelease &entry) {
        return entry.virtualKey == virtualKey;
      }) > 0;
  ArmTimer();
  if (IsDown(virtualKey)) {
    press_(virtualKey);  // a repeat of the key held
    return;
  }
  if (autoRepeat || releaseWasPending) {
    // The key went down in another window: its repeats press nothing here,
    // and its release goes on.
    if (releaseWasPending) {
      release_(virtualKey);
    }
    return;
  }
  down_.push_back(virtualKey);
  press_(virtualKey);
}

void TKeyRepeatFilter::KeyUp(uint16_t virtualKey) {
  if (IsReleasePending(virtualKey)) {
    return;
  }
  pending_.push_back({virtualKey, NowMs() + HoldBackMs()});
  ArmTimer();
}

void TKeyRepeatFilter::ReleaseNow() {
  std::vector<TPendingRelease> due;
  due.swap(pending_);
  down_.clear();
  timer_.stop();
  for (const TPendingRelease &entry : due) {
    release_(entry.virtualKey);
  }
}

void TKeyRepeatFilter::PassDueReleases() {
  // The events handled below can start the timer again at 0 ms (a key event
  // while a due release still waits in the list), and a nested event loop
  // run from them (the programming-terminal alert the reply handler brings
  // up for a chunk handed over meanwhile) fires it: this call is entered
  // again before the first one has taken its due releases. The inner call
  // leaves them to the outer one, which passes them and arms the timer.
  if (passing_) {
    return;
  }
  {
    const QScopedValueRollback<bool> passing(passing_, true);
    // A busy main thread can wake here before it has handled input that the
    // window system delivered long ago: the repeat's press may be waiting in
    // the queue. Handle what has arrived first, so that press is seen.
    QCoreApplication::processEvents();
  }

  const qint64 now = NowMs();
  std::vector<TPendingRelease> due;
  std::erase_if(pending_, [&](const TPendingRelease &entry) {
    if (entry.dueMs > now) {
      return false;
    }
    due.push_back(entry);
    return true;
  });
  ArmTimer();
  for (const TPendingRelease &entry : due) {
    std::erase(down_, entry.virtualKey);
    release_(entry.virtualKey);
  }
}

void TKeyRepeatFilter::ArmTimer() {
  if (pending_.empty()) {
    timer_.stop();
    return;
  }
  qint64 first = pending_.front().dueMs;
  for (const TPendingRelease &entry : pending_) {
    first = std::min(first, entry.dueMs);
  }
  timer_.start(static_cast<int>(std::max<qint64>(0, first - NowMs())));
}
