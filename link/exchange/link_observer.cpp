#include "link_observer.h"

#include <algorithm>

void TLinkObserverList::Attach(TLinkObserver *observer) {
  if (observer != nullptr &&
      std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void TLinkObserverList::Detach(TLinkObserver *observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void TLinkObserverList::ChunkReceived(TLinkTime t, const QByteArray &chunk) {
  for (TLinkObserver *observer : observers_) {
    observer->ChunkReceived(t, chunk);
  }
}

void TLinkObserverList::CharactersDropped(TLinkTime t, size_t count) {
  for (TLinkObserver *observer : observers_) {
    observer->CharactersDropped(t, count);
  }
}

void TLinkObserverList::FrameHandled(TLinkTime t, const QByteArray &frame, uint8_t checkResult,
                                     uint8_t errorCode, const TReplyData &reply) {
  for (TLinkObserver *observer : observers_) {
    observer->FrameHandled(t, frame, checkResult, errorCode, reply);
  }
}

void TLinkObserverList::AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length,
                                      bool written) {
  for (TLinkObserver *observer : observers_) {
    observer->AnswerWritten(t, bytes, length, written);
  }
}

void TLinkObserverList::AnswerSkipped(TLinkTime t) {
  for (TLinkObserver *observer : observers_) {
    observer->AnswerSkipped(t);
  }
}

void TLinkObserverList::PortChanged(TLinkTime t, TPortEvent event, const QString &portName) {
  for (TLinkObserver *observer : observers_) {
    observer->PortChanged(t, event, portName);
  }
}
