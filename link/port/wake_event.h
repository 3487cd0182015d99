// An eventfd that one thread signals to wake another out of poll().
#pragma once

class TWakeEvent {
 public:
  TWakeEvent();
  ~TWakeEvent();
  TWakeEvent(const TWakeEvent &) = delete;
  TWakeEvent &operator=(const TWakeEvent &) = delete;

  int Fd() const { return fd_; }
  void Signal();
  // Clears the signal; true when it was set.
  bool Drain();

 private:
  int fd_;
};
