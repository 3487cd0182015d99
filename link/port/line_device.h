// A device the worker waits on through a descriptor: a serial tty or a
// network connection. The worker waits in poll() for the descriptor to be
// readable and reads what FIONREAD says is waiting.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "port_device.h"

class TLineDevice : public TPortDevice {
 public:
  virtual bool IsOpen() const = 0;
  virtual int Fd() const = 0;

  TDeviceWait Wait() const override;
  // What is waiting, or one byte when nothing is counted (which tells data
  // from an end).
  TReadResult Read(std::vector<uint8_t> &buffer, size_t limit) override;
  // Bytes waiting in the input queue; 0 when closed or on error. (A network
  // connection counts what arrived, protocol bytes included.)
  uint32_t InQueueCount() override;

  // Reads up to 'capacity' bytes without waiting. Data with a count of 0:
  // bytes came, but none of them were data for the program.
  virtual TReadResult ReadAvailable(uint8_t *buffer, size_t capacity) = 0;

 protected:
  // One non-blocking write call on the descriptor: write(2), or send(2) with
  // the flags a socket needs.
  using TPut = ssize_t (*)(int fd, const void *bytes, size_t length);
  // Puts every byte on 'fd' with 'put', waiting in poll() for room until
  // 'deadline'; false on an error, a hang-up or the deadline.
  static bool PutAll(int fd, const uint8_t *bytes, size_t length,
                     std::chrono::steady_clock::time_point deadline, TPut put);
};
