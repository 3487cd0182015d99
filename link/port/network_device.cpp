#include "network_device.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;
using TKind = TOpenFailure::TKind;

TOpenFailure Failure(TKind kind, int systemError = 0) {
  return TOpenFailure::OfNetwork(kind, systemError);
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
                                           TClock::time_point deadline, TOpenStop stop) {
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
  while (!resolution->done && TClock::now() < deadline && !stop.Requested()) {
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
int ConnectTo(const addrinfo &entry, TClock::time_point deadline, TOpenStop stop,
              TOpenFailure &error) {
  const int fd =
      socket(entry.ai_family, entry.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, entry.ai_protocol);
  if (fd < 0) {
    error = Failure(TKind::NetworkSystemError, errno);
    return -1;
  }
  SetUpSocket(fd);
  int status = connect(fd, entry.ai_addr, entry.ai_addrlen) == 0 ? 0 : errno;
  if (status == EINPROGRESS) {
    if (WaitForSocket(fd, POLLOUT, deadline, stop) == 0) {
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

}  // namespace

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
  if (failure.Failed() && stop_.Requested()) {
    Close();
    failure = Failure(TKind::Stopped);
  }
  failure.address = failure.Failed() ? NetworkAddressText(*address_) : QString();
  return failure;
}

TOpenFailure TNetworkDevice::OpenWithin(const TNetworkAddress &address, const TLineSettings &line,
                                        TClock::time_point deadline) {
  certificate_.reset();
  TOpenFailure failure;
  TTlsTransport *tls = nullptr;
  if (address.tls) {
    // The files are checked before anything goes out.
    std::unique_ptr<TTlsTransport> made = TTlsTransport::Make(address.host, *address.tls, failure);
    if (!made) {
      return failure;
    }
    tls = made.get();
    transport_ = std::move(made);
  } else {
    transport_ = std::make_unique<TSocketTransport>();
  }
  failure = Connect(address, deadline);
  if (!failure.Failed()) {
    failure = transport_->Start(fd_, deadline, stop_);
    if (tls != nullptr) {
      certificate_ = tls->ServerCertificate();
    }
  }
  if (!failure.Failed() && address.kind == TNetworkAddress::TKind::Rfc2217) {
    engine_ = std::make_unique<TRfc2217Engine>(line);
    failure = Negotiate(deadline);
  }
  if (failure.Failed()) {
    Close();
  }
  return failure;
}

TOpenFailure TNetworkDevice::Connect(const TNetworkAddress &address, TClock::time_point deadline) {
  const std::shared_ptr<TResolution> resolution = ResolveWithin(address, deadline, stop_);
  std::unique_lock resolved(resolution->mutex);
  if (!resolution->done || resolution->status != 0) {
    return ResolutionError(*resolution);
  }
  // Every address of the name is tried in turn; a refusal is the answer
  // that tells the user most, so it is kept over later failures.
  TOpenFailure failure = Failure(TKind::HostNotFound);
  for (const addrinfo *entry = resolution->list; entry != nullptr; entry = entry->ai_next) {
    TOpenFailure error;
    fd_ = ConnectTo(*entry, deadline, stop_, error);
    if (fd_ >= 0) {
      return {};
    }
    if (failure.kind != TKind::ConnectionRefused) {
      failure = error;
    }
    if (error.kind == TKind::NoAnswer) {
      break;  // the time is up
    }
  }
  return failure;
}

TOpenFailure TNetworkDevice::Negotiate(TClock::time_point deadline) {
  const std::vector<uint8_t> offers = engine_->Start();
  if (!PutAll(offers.data(), offers.size(), deadline)) {
    return Failure(TKind::ConnectionClosed);
  }
  std::vector<uint8_t> chunk(1024);
  std::vector<uint8_t> data;
  while (!engine_->Ready()) {
    if (engine_->Refused()) {
      return Failure(TKind::SettingsRefused);
    }
    if (TClock::now() >= deadline ||
        (transport_->Buffered() == 0 &&
         WaitForSocket(fd_, transport_->ReceiveEvents(), deadline, stop_) == 0)) {
      return Failure(TKind::NoAnswer);
    }
    const TTransfer got = transport_->Receive(chunk.data(), chunk.size());
    if (got.state == TTransfer::TState::Closed) {
      return Failure(TKind::ConnectionClosed);
    }
    reply_.clear();
    data.clear();
    engine_->Receive(chunk.data(), got.count, data, reply_);
    if (!reply_.empty() && !PutAll(reply_.data(), reply_.size(), deadline)) {
      return Failure(TKind::ConnectionClosed);
    }
  }
  return {};
}

bool TNetworkDevice::Close() {
  engine_.reset();
  transport_.reset();  // a TLS session says goodbye on the socket first
  if (IsOpen()) {
    close(fd_);
    fd_ = -1;
  }
  return true;
}

TDeviceWait TNetworkDevice::Wait() const {
  if (!transport_) {
    return TLineDevice::Wait();
  }
  return {fd_, transport_->ReceiveEvents(), transport_->Buffered() > 0};
}

uint32_t TNetworkDevice::InQueueCount() {
  const size_t buffered = transport_ ? transport_->Buffered() : 0;
  return TLineDevice::InQueueCount() + static_cast<uint32_t>(buffered);
}

TLineDevice::TReadResult TNetworkDevice::ReadAvailable(uint8_t *buffer, size_t capacity) {
  if (!IsOpen() || capacity == 0) {
    return {};
  }
  // A raw socket reads straight into the caller's buffer; a Telnet stream
  // goes through the engine first, which never makes it longer.
  received_.resize(capacity);
  uint8_t *target = engine_ ? received_.data() : buffer;
  const TTransfer got = transport_->Receive(target, capacity);
  if (got.state == TTransfer::TState::Closed) {
    return {TReadState::HungUp, 0};  // closed, reset, or keep-alive gave up
  }
  if (got.state == TTransfer::TState::WouldBlock) {
    return {};
  }
  if (!engine_) {
    return {TReadState::Data, got.count};
  }
  data_.clear();
  reply_.clear();
  engine_->Receive(received_.data(), got.count, data_, reply_);
  if (!reply_.empty()) {
    std::lock_guard lock(sendMutex_);
    (void)PutAll(reply_.data(), reply_.size(),
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
    return PutAll(bytes, length, deadline);
  }
  const std::vector<uint8_t> escaped = EscapeTelnetData(bytes, length);
  return PutAll(escaped.data(), escaped.size(), deadline);
}
