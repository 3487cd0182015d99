// A port the worker waits on through a descriptor: a serial tty or a network
// connection. The port object opens it on the main thread (each kind has its
// own Open), the worker waits in poll() on Fd() and reads what is waiting,
// the main thread writes and closes it (port_thread.cpp tells who holds what
// when).
#pragma once

#include <sys/ioctl.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

class TLineDevice {
 public:
  enum class TReadState { Data, NothingWaiting, HungUp };
  struct TReadResult {
    TReadState state = TReadState::NothingWaiting;
    size_t count = 0;
  };

  virtual ~TLineDevice() = default;

  virtual bool IsOpen() const = 0;
  virtual int Fd() const = 0;
  virtual void Close() = 0;

  // Bytes waiting in the input queue; 0 when closed or on error. (A network
  // connection counts what arrived, protocol bytes included.)
  uint32_t InQueueCount() const {
    int waiting = 0;
    if (!IsOpen() || ioctl(Fd(), FIONREAD, &waiting) != 0 || waiting < 0) {
      return 0;
    }
    return static_cast<uint32_t>(waiting);
  }
  // Reads up to 'capacity' bytes without waiting. Data with a count of 0:
  // bytes came, but none of them were data for the program.
  virtual TReadResult ReadAvailable(uint8_t *buffer, size_t capacity) = 0;
  // Writes every byte, waiting for room at most 'timeoutMs' in all.
  virtual bool Write(const uint8_t *bytes, size_t length, int timeoutMs) = 0;

 protected:
  // One non-blocking write call on the descriptor: write(2), or send(2) with
  // the flags a socket needs.
  using TPut = ssize_t (*)(int fd, const void *bytes, size_t length);
  // Puts every byte on 'fd' with 'put', waiting in poll() for room until
  // 'deadline'; false on an error, a hang-up or the deadline.
  static bool PutAll(int fd, const uint8_t *bytes, size_t length,
                     std::chrono::steady_clock::time_point deadline, TPut put);
};
