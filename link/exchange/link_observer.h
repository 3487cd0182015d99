// What passes on the line, reported to whoever watches it: the line monitor,
// the capture file. The reply handler and the port call an observer on the
// main thread only, with the time of the event on the monotonic clock.
//
// With no observer attached the link pays one pointer test per event and
// takes no time stamp. An observer must not call back into the link.
#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link_state.h"

using TLinkClock = std::chrono::steady_clock;
using TLinkTime = TLinkClock::time_point;

enum class TPortEvent : uint8_t {
  Opened,    // the port opened
  Closed,    // the port closed
  Lost,      // the open port stopped delivering (tty hung up, adapter gone)
  Reopened,  // a lost port came back by itself
};

class TLinkObserver {
 public:
  virtual ~TLinkObserver() = default;

  // A chunk as the port's worker read it, before the handler cuts frames.
  virtual void ChunkReceived(TLinkTime, const QByteArray & /*chunk*/) {}
  // Received characters thrown away at the receive buffer's bound.
  virtual void CharactersDropped(TLinkTime, size_t /*count*/) {}
  // One frame cut and checked: 'checkResult' is what the check returned
  // ('M', 'K', 1 for a failed check), 'errorCode' the check's error code
  // when it failed; 'reply' holds the decoded payload.
  virtual void FrameHandled(TLinkTime, const QByteArray & /*frame*/, uint8_t /*checkResult*/,
                            uint8_t /*errorCode*/, const TReplyData & /*reply*/) {}
  // An answer handed to the port; 'written' is the write's result.
  virtual void AnswerWritten(TLinkTime, const uint8_t * /*bytes*/, size_t /*length*/,
                             bool /*written*/) {}
  // A converter message left unanswered by the hold-off.
  virtual void AnswerSkipped(TLinkTime) {}
  virtual void PortChanged(TLinkTime, TPortEvent, const QString & /*portName*/) {}
};

// Passes every event on to the observers attached, in the order attached.
class TLinkObserverList : public TLinkObserver {
 public:
  void Attach(TLinkObserver *observer);
  void Detach(TLinkObserver *observer);
  bool Empty() const { return observers_.empty(); }

  void ChunkReceived(TLinkTime t, const QByteArray &chunk) override;
  void CharactersDropped(TLinkTime t, size_t count) override;
  void FrameHandled(TLinkTime t, const QByteArray &frame, uint8_t checkResult, uint8_t errorCode,
                    const TReplyData &reply) override;
  void AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length, bool written) override;
  void AnswerSkipped(TLinkTime t) override;
  void PortChanged(TLinkTime t, TPortEvent event, const QString &portName) override;

 private:
  std::vector<TLinkObserver *> observers_;
};
