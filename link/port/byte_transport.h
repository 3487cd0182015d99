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

// Every network open gives up at once, with the kind Stopped, when 'fd' is
// readable: the program has been asked to end ('fd' stays readable from the
// first termination signal on). -1, the default, for none. Any thread.
void SetNetworkOpenStopFd(int fd);
// The program has been asked to end (SetNetworkOpenStopFd).
bool NetworkOpenStopRequested();

// Waits for 'events' on 'fd' until 'deadline': the revents; 0 on time-out or
// when the program is asked to end meanwhile.
short WaitForSocket(int fd, short events, std::chrono::steady_clock::time_point deadline);

class TByteTransport {
 public:
  using TClock = std::chrono::steady_clock;

  virtual ~TByteTransport() = default;

  // Takes over the connected socket 'fd' (the device keeps and closes it)
  // and makes it ready for the line's bytes by 'deadline'; kind None when
  // it is.
  virtual TOpenFailure Start(int fd, TClock::time_point deadline) = 0;

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
  TOpenFailure Start(int fd, TClock::time_point deadline) override;
  TTransfer Receive(uint8_t *buffer, size_t capacity) override;
  TTransfer Send(const uint8_t *bytes, size_t length) override;

 private:
  int fd_ = -1;
};
