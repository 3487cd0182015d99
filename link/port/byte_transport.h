// How the network device moves bytes over its connected, non-blocking
// socket: as they are (TSocketTransport), or inside TLS (tls_transport.h).
// The Telnet and RFC 2217 engine above sees the same bytes either way, and
// the port above it sees a device; neither learns which transport carries
// them.
//
// Threads: the worker receives while the main thread may send; a transport
// whose two directions share state keeps them apart itself.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "open_failure.h"

struct TTransfer {
  enum class TState {
    Moved,       // 'count' bytes moved (0: bytes came, none of them data)
    WouldBlock,  // nothing moved: wait for 'waitFor' on the socket
    Closed,      // the connection is gone: closed, reset or broken
  };
  TState state = TState::WouldBlock;
  size_t count = 0;
  short waitFor = POLLIN;
};

// A descriptor that becomes readable, and stays so, once the program has
// been asked to end (its first termination signal): a network open or wait
// given one gives up at once then. Not owned; the default is none.
class TOpenStop {
 public:
  TOpenStop() = default;
  explicit TOpenStop(int fd) : fd_(fd) {}

  int Fd() const { return fd_; }
  bool Requested() const;

 private:
  int fd_ = -1;
};

// Waits for 'events' on 'fd' until 'deadline': the revents; 0 on time-out or
// when 'stop' is requested meanwhile.
short WaitForSocket(int fd, short events, std::chrono::steady_clock::time_point deadline,
                    TOpenStop stop);

class TByteTransport {
 public:
  using TClock = std::chrono::steady_clock;

  virtual ~TByteTransport() = default;

  // Takes over the connected socket 'fd' (the device keeps and closes it)
  // and makes it ready for the line's bytes by 'deadline', giving up when
  // 'stop' is requested; kind None when it is.
  virtual TOpenFailure Start(int fd, TClock::time_point deadline, TOpenStop stop) = 0;

  virtual TTransfer Receive(uint8_t *buffer, size_t capacity) = 0;
  // Sends some of the bytes, at least one unless it would block.
  virtual TTransfer Send(const uint8_t *bytes, size_t length) = 0;

  // What to wait for on the socket before the next Receive.
  virtual short ReceiveEvents() const { return POLLIN; }
  // Bytes received and decoded already, waiting inside the transport: the
  // next Receive takes them without waiting.
  virtual size_t Buffered() const { return 0; }
};

// Plain TCP: the socket's bytes as they are.
class TSocketTransport final : public TByteTransport {
 public:
  TOpenFailure Start(int fd, TClock::time_point deadline, TOpenStop stop) override;
  TTransfer Receive(uint8_t *buffer, size_t capacity) override;
  TTransfer Send(const uint8_t *bytes, size_t length) override;

 private:
  int fd_ = -1;
};
