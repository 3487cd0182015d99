#include "line_device.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>

TDeviceWait TLineDevice::Wait() const {
  return {Fd(), POLLIN, false};
}

TLineDevice::TReadResult TLineDevice::Read(std::vector<uint8_t> &buffer, size_t limit) {
  const size_t waiting = std::clamp<size_t>(InQueueCount(), 1, limit);
  buffer.resize(waiting);
  return ReadAvailable(buffer.data(), waiting);
}

uint32_t TLineDevice::InQueueCount() {
  int waiting = 0;
  if (!IsOpen() || ioctl(Fd(), FIONREAD, &waiting) != 0 || waiting < 0) {
    return 0;
  }
  return static_cast<uint32_t>(waiting);
}

short TLineDevice::WaitToPut(short events, TClock::time_point deadline) const {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    pollfd ready{Fd(), events, 0};
    const int count = poll(&ready, 1, left > 0 ? static_cast<int>(left) : 0);
    if (count > 0) {
      return ready.revents;
    }
    if (count == 0 || errno != EINTR) {
      return 0;
    }
  }
}

bool TLineDevice::PutAll(const uint8_t *bytes, size_t length, TClock::time_point deadline) {
  size_t done = 0;
  while (done < length) {
    const TTransfer sent = PutSome(bytes + done, length - done);
    if (sent.state == TTransfer::TState::Moved) {
      done += sent.count;
      continue;
    }
    if (sent.state == TTransfer::TState::Closed || TClock::now() >= deadline) {
      return false;
    }
    const short ready = WaitToPut(sent.waitFor, deadline);
    if (ready == 0 || (ready & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      return false;
    }
  }
  return true;
}
