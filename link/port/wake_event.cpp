#include "wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

TWakeEvent::TWakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) {
    throw std::runtime_error("eventfd failed");
  }
}

TWakeEvent::~TWakeEvent() {
  close(fd_);
}

void TWakeEvent::Signal() {
  const uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool TWakeEvent::Drain() {
  uint64_t count = 0;
  ssize_t got;
  do {
    got = read(fd_, &count, sizeof count);
  } while (got < 0 && errno == EINTR);
  return got == sizeof count && count > 0;
}
