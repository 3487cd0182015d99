// A device the worker waits on through a descriptor: a serial tty or a
// network connection. The worker waits in poll() for the descriptor to be
// readable and reads what FIONREAD says is waiting.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_transport.h"
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
  using TClock = std::chrono::steady_clock;

  // One try at sending some of the bytes, without waiting: how many went,
  // or what to wait for on the descriptor before the next try.
  virtual TTransfer PutSome(const uint8_t *bytes, size_t length) = 0;
  // Waits for 'events' on the descriptor until 'deadline': the revents; 0
  // on time-out.
  virtual short WaitToPut(short events, TClock::time_point deadline) const;
  // Puts every byte with PutSome, waiting for what it asks until 'deadline'
  // (the one write-until-deadline loop of the devices with a descriptor);
  // false on a close, an error, a hang-up or the deadline.
  bool PutAll(const uint8_t *bytes, size_t length, TClock::time_point deadline);
};
