// The observers of one subject, told in the order they were attached. An
// observer attached twice is told once; one that detaches while being told
// is not told again.
#pragma once

#include <algorithm>
#include <vector>

template <typename TObserver>
class TObserverList {
 public:
  void Attach(TObserver *observer) {
    if (observer != nullptr && std::find(list_.begin(), list_.end(), observer) == list_.end()) {
      list_.push_back(observer);
    }
  }
  void Detach(TObserver *observer) { std::erase(list_, observer); }

  // Calls 'tell' with each observer; a copy is walked, so observers may
  // detach meanwhile.
  template <typename TTell>
  void Tell(TTell &&tell) const {
    const std::vector<TObserver *> now = list_;
    for (TObserver *observer : now) {
      if (std::find(list_.begin(), list_.end(), observer) != list_.end()) {
        tell(*observer);
      }
    }
  }

 private:
  std::vector<TObserver *> list_;
};
