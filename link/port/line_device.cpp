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

bool TLineDevice::PutAll(int fd, const uint8_t *bytes, size_t length,
                         std::chrono::steady_clock::time_point deadline, TPut put) {
  size_t done = 0;
  while (done < length) {
    const ssize_t sent = put(fd, bytes + done, length - done);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      return false;
    }
    pollfd room{fd, POLLOUT, 0};
    const int ready = poll(&room, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) {
      return false;
    }
    if (ready > 0 && (room.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      return false;
    }
  }
  return true;
}
