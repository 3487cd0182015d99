// What the port opens and reads: a tty, a network port, an FTDI adapter, or
// any later kind (a TLS layer over the network socket). The port never asks
// which kind it holds; each device says itself what it needs.
//
// Threads: the main thread aims a device (each kind has its own setter for
// what it opens), opens, writes and closes it; while it is open, the port's
// worker asks Wait and calls Read, never at the same time as an Open, a Close
// or an InQueueCount (port_worker.h keeps them apart). Write may overlap a
// Read; a device whose read may also send (a Telnet reply) serialises its own
// sending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "line_settings.h"
#include "open_failure.h"

// What the worker waits on before it reads.
struct TDeviceWait {
  // The descriptor to wait on, for 'events' (POLLIN, POLLOUT or both: a TLS
  // layer may have to write before it can read). -1: the device has no
  // descriptor and is looked at after each poll interval of the port.
  int fd = -1;
  short events = 0;
  // Bytes already wait inside the device (decoded, not on the descriptor):
  // the worker reads without sleeping.
  bool buffered = false;
};

class TPortDevice {
 public:
  enum class TReadState { Data, NothingWaiting, HungUp };
  struct TReadResult {
    TReadState state = TReadState::NothingWaiting;
    size_t count = 0;
  };

  virtual ~TPortDevice() = default;

  // Opens the device for 'line'; kind None when it is open. On a failure the
  // device stays closed.
  virtual TOpenFailure Open(const TLineSettings &line) = 0;
  // Opening may take seconds (resolving, connecting, negotiating): the port
  // then runs Open away from the window's thread.
  virtual bool OpensSlowly() const { return false; }
  // True when the device is closed afterwards; false when it refused and is
  // still open (and still read).
  virtual bool Close() = 0;

  virtual TDeviceWait Wait() const = 0;
  // Reads what is waiting, at most 'limit' bytes, into 'buffer' (resized to
  // what it asks for), without waiting. Data with a count of 0: bytes came,
  // but none of them were data for the program. HungUp: the device is gone.
  virtual TReadResult Read(std::vector<uint8_t> &buffer, size_t limit) = 0;
  // Writes every byte, waiting for room at most 'timeoutMs' in all (a device
  // with time-outs of its own set at the open keeps to those).
  virtual bool Write(const uint8_t *bytes, size_t length, int timeoutMs) = 0;
  // Received bytes waiting to be read; 0 when closed or on error.
  virtual uint32_t InQueueCount() = 0;
};
