#include "byte_transport.h"

#include <sys/socket.h>

#include <cerrno>

namespace {

TTransfer Outcome(ssize_t moved, short waitFor) {
  if (moved > 0) {
    return {TTransfer::TState::Moved, static_cast<size_t>(moved), waitFor};
  }
  if (moved < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    return {TTransfer::TState::WouldBlock, 0, waitFor};
  }
  return {TTransfer::TState::Closed, 0, waitFor};  // closed, reset, or keep-alive gave up
}

}  // namespace

bool TOpenStop::Requested() const {
  pollfd stop{fd_, POLLIN, 0};
  return fd_ >= 0 && poll(&stop, 1, 0) > 0;
}

short WaitForSocket(int fd, short events, std::chrono::steady_clock::time_point deadline,
                    TOpenStop stop) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd ready[2] = {{fd, events, 0}, {stop.Fd(), POLLIN, 0}};
    const int count = poll(ready, ready[1].fd >= 0 ? 2 : 1, left > 0 ? static_cast<int>(left) : 0);
    if (count > 0) {
      return ready[1].revents != 0 ? 0 : ready[0].revents;
    }
    if (count == 0 || errno != EINTR) {
      return 0;
    }
  }
}

TOpenFailure TSocketTransport::Start(int fd, TClock::time_point, TOpenStop) {
  fd_ = fd;
  return {};
}

TTransfer TSocketTransport::Receive(uint8_t *buffer, size_t capacity) {
  ssize_t got;
  do {
    got = recv(fd_, buffer, capacity, 0);
  } while (got < 0 && errno == EINTR);
  return Outcome(got, POLLIN);
}

TTransfer TSocketTransport::Send(const uint8_t *bytes, size_t length) {
  ssize_t sent;
  do {
    sent = send(fd_, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  return Outcome(sent, POLLOUT);
}
