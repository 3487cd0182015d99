#include "network_device.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;
using TKind = TOpenFailure::TKind;

TOpenFailure Failure(TKind kind, int systemError = 0) {
  return TOpenFailure::OfNetwork(kind, systemError);
}

std::atomic<int> g_stopFd{-1};

// The program has been asked to end (SetNetworkOpenStopFd).
bool StopRequested() {
  pollfd stop{g_stopFd.load(), POLLIN, 0};
  return stop.fd >= 0 && poll(&stop, 1, 0) > 0;
}

int MillisecondsLeft(TClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for 'events' on 'fd' until the deadline: the revents, 0 on time-out
// or when the program is asked to end meanwhile.
short WaitFor(int fd, short events, TClock::time_point deadline) {
  for (;;) {
    pollfd ready[2] = {{fd, events, 0}, {g_stopFd.load(), POLLIN, 0}};
    const int count = poll(ready, ready[1].fd >= 0 ? 2 : 1, MillisecondsLeft(deadline));
    if (count > 0) {
      return ready[1].revents != 0 ? 0 : ready[0].revents;
    }
    if (count == 0 || errno != EINTR) {
      return 0;
    }
  }
}

// The result of one name resolution. A resolver that is still busy when the
// caller gives up finishes on its own thread and frees what it found.
struct TResolution {
  ~TResolution() {
    if (list != nullptr) {
      freeaddrinfo(list);
    }
  }
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  int status = EAI_AGAIN;
  int systemError = 0;
  addrinfo *list = nullptr;
};

void Resolve(TResolution &resolution, const QByteArray &host, const QByteArray &service,
             int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags | AI_NUMERICSERV;
  addrinfo *list = nullptr;
  const int status = getaddrinfo(host.constData(), service.constData(), &hints, &list);
  const int systemError = errno;
  std::lock_guard lock(resolution.mutex);
  resolution.status = status;
  resolution.systemError = systemError;
  resolution.list = list;
  resolution.done = true;
  resolution.finished.notify_all();
}

// getaddrinfo cannot be interrupted, so a name is resolved on a thread of
// its own that the caller stops waiting for at the deadline. A numeric
// address needs no thread.
std::shared_ptr<TResolution> ResolveWithin(const TNetworkAddress &address,
                                           TClock::time_point deadline) {
  auto resolution = std::make_shared<TResolution>();
  const QByteArray host = address.host.toUtf8();
  const QByteArray service = QByteArray::number(address.port);
  Resolve(*resolution, host, service, AI_NUMERICHOST);
  if (resolution->status != EAI_NONAME) {
    return resolution;
  }
  resolution = std::make_shared<TResolution>();
  std::thread([resolution, host, service] { Resolve(*resolution, host, service, 0); }).detach();
  // Asked again and again, so that the program's end stops the wait too.
  constexpr std::chrono::milliseconds kStopCheck{20};
  std::unique_lock lock(resolution->mutex);
  while (!resolution->done && TClock::now() < deadline && !StopRequested()) {
    resolution->finished.wait_until(lock, std::min(deadline, TClock::now() + kStopCheck));
  }
  return resolution;
}

TOpenFailure ResolutionError(const TResolution &resolution) {
  if (!resolution.done) {
    return Failure(TKind::NoAnswer);
  }
  if (resolution.status == EAI_SYSTEM) {
    return Failure(TKind::NetworkSystemError, resolution.systemError);
  }
  return Failure(TKind::HostNotFound);
}

void SetOption(int fd, int level, int name, int value) {
  (void)setsockopt(fd, level, name, &value, sizeof value);
}

void SetUpSocket(int fd) {
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleSeconds);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalSeconds);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
  // Data that the server does not acknowledge also ends the connection.
  SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT,
            1000 * (kKeepAliveIdleSeconds + kKeepAliveIntervalSeconds * kKeepAliveProbes));
}

// Connects to one address: the socket, or -1 with the error.
int ConnectTo(const addrinfo &entry, TClock::time_point deadline, TOpenFailure &error) {
  const int fd =
      socket(entry.ai_family, entry.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, entry.ai_protocol);
  if (fd < 0) {
    error = Failure(TKind::NetworkSystemError, errno);
    return -1;
  }
  SetUpSocket(fd);
  int status = connect(fd, entry.ai_addr, entry.ai_addrlen) == 0 ? 0 : errno;
  if (status == EINPROGRESS) {
    if (WaitFor(fd, POLLOUT, deadline) == 0) {
      close(fd);
      error = Failure(TKind::NoAnswer);
      return -1;
    }
    socklen_t length = sizeof status;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &length) != 0) {
      status = errno;
    }
  }
  if (status == 0) {
    return fd;
  }
  close(fd);
  error = status == ECONNREFUSED ? Failure(TKind::ConnectionRefused)
          : status == ETIMEDOUT  ? Failure(TKind::NoAnswer)
                                 : Failure(TKind::NetworkSystemError, status);
  return -1;
}

bool IsConnectionGone(int error) {
  return error == ECONNRESET || error == EPIPE || error == ENOTCONN || error == ETIMEDOUT ||
         error == EHOSTUNREACH || error == ENETUNREACH;
}

}  // namespace

void SetNetworkOpenStopFd(int fd) {
  g_stopFd = fd;
}

TNetworkDevice::~TNetworkDevice() {
  Close();
}

TOpenFailure TNetworkDevice::Open(const TLineSettings &line) {
  if (IsOpen()) {
    return Failure(TKind::NetworkSystemError, EBUSY);
  }
  if (!address_) {
    TOpenFailure failure = Failure(TKind::InvalidAddress);
    failure.address = written_;
    return failure;
  }
  TOpenFailure failure = OpenWithin(*address_, line, TClock::now() + kNetworkOpenLimit);
  if (failure.Failed() && StopRequested()) {
    Close();
    failure = Failure(TKind::Stopped);
  }
  failure.address = failure.Failed() ? NetworkAddressText(*address_) : QString();
  return failure;
}

TOpenFailure TNetworkDevice::OpenWithin(const TNetworkAddress &address, const TLineSettings &line,
                                        TClock::time_point deadline) {
  const std::shared_ptr<TResolution> resolution = ResolveWithin(address, deadline);
  std::unique_lock resolved(resolution->mutex);
  if (!resolution->done || resolution->status != 0) {
    return ResolutionError(*resolution);
  }
  // Every address of the name is tried in turn; a refusal is the answer
  // that tells the user most, so it is kept over later failures.
  TOpenFailure failure = Failure(TKind::HostNotFound);
  for (const addrinfo *entry = resolution->list; entry != nullptr; entry = entry->ai_next) {
    TOpenFailure error;
    fd_ = ConnectTo(*entry, deadline, error);
    if (fd_ >= 0) {
      break;
    }
    if (failure.kind != TKind::ConnectionRefused) {
      failure = error;
    }
    if (error.kind == TKind::NoAnswer) {
      break;  // the time is up
    }
  }
  resolved.unlock();
  if (fd_ < 0) {
    return failure;
  }
  if (address.kind == TNetworkAddress::TKind::RawSocket) {
    return {};
  }
  engine_ = std::make_unique<TRfc2217Engine>(line);
  const TOpenFailure negotiated = Negotiate(deadline);
  if (negotiated.Failed()) {
    Close();
  }
  return negotiated;
}

TOpenFailure TNetworkDevice::Negotiate(TClock::time_point deadline) {
  const std::vector<uint8_t> offers = engine_->Start();
  if (!SendAll(offers.data(), offers.size(), deadline)) {
    return Failure(TKind::ConnectionClosed);
  }
  std::vector<uint8_t> chunk(1024);
  std::vector<uint8_t> data;
  while (!engine_->Ready()) {
    if (engine_->Refused()) {
      return Failure(TKind::SettingsRefused);
    }
    if (WaitFor(fd_, POLLIN, deadline) == 0) {
      return Failure(TKind::NoAnswer);
    }
    const ssize_t got = recv(fd_, chunk.data(), chunk.size(), 0);
    if (got == 0 || (got < 0 && IsConnectionGone(errno))) {
      return Failure(TKind::ConnectionClosed);
    }
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
        continue;
      }
      return Failure(TKind::NetworkSystemError, errno);
    }
    reply_.clear();
    data.clear();
    engine_->Receive(chunk.data(), static_cast<size_t>(got), data, reply_);
    if (!reply_.empty() && !SendAll(reply_.data(), reply_.size(), deadline)) {
      return Failure(TKind::ConnectionClosed);
    }
  }
  return {};
}

bool TNetworkDevice::Close() {
  if (!IsOpen()) {
    return true;
  }
  close(fd_);
  fd_ = -1;
  engine_.reset();
  return true;
}

TLineDevice::TReadResult TNetworkDevice::ReadAvailable(uint8_t *buffer, size_t capacity) {
  if (!IsOpen() || capacity == 0) {
    return {};
  }
  // A raw socket reads straight into the caller's buffer; a Telnet stream
  // goes through the engine first, which never makes it longer.
  received_.resize(capacity);
  uint8_t *target = engine_ ? received_.data() : buffer;
  ssize_t got;
  do {
    got = recv(fd_, target, capacity, 0);
  } while (got < 0 && errno == EINTR);
  if (got == 0) {
    return {TReadState::HungUp, 0};  // the server closed the connection
  }
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return {};
    }
    return {TReadState::HungUp, 0};  // reset, or keep-alive gave up
  }
  if (!engine_) {
    return {TReadState::Data, static_cast<size_t>(got)};
  }
  data_.clear();
  reply_.clear();
  engine_->Receive(received_.data(), static_cast<size_t>(got), data_, reply_);
  if (!reply_.empty()) {
    std::lock_guard lock(sendMutex_);
    (void)SendAll(reply_.data(), reply_.size(),
                  TClock::now() + std::chrono::milliseconds(kWriteTimeoutMs));
  }
  std::copy(data_.begin(), data_.end(), buffer);
  return {TReadState::Data, data_.size()};
}

bool TNetworkDevice::Write(const uint8_t *bytes, size_t length, int timeoutMs) {
  if (!IsOpen()) {
    return false;
  }
  const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  std::lock_guard lock(sendMutex_);
  if (!engine_) {
    return SendAll(bytes, length, deadline);
  }
  const std::vector<uint8_t> escaped = EscapeTelnetData(bytes, length);
  return SendAll(escaped.data(), escaped.size(), deadline);
}

bool TNetworkDevice::SendAll(const uint8_t *bytes, size_t length, TClock::time_point deadline) {
  return PutAll(fd_, bytes, length, deadline, [](int fd, const void *data, size_t size) {
    return send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  });
}
