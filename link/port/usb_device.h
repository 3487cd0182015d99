// One FTDI USB adapter, reached through the operations of the vendor's
// classic driver: device count, open by index, line setup, queue status,
// read, write, close. The program's implementation sits on libftdi1
// (ftdi_usb_device.h); tests use a scripted fake.
//
// Threads: the port object calls Open, the setters and Close on the main
// thread and GetQueueStatus/Read on its worker, never two of these at once.
// Write comes from the main thread and may overlap GetQueueStatus or Read.
//
// An adapter with a WaitFd is read when that descriptor is readable; one
// without is looked at after each poll interval of the port.
#pragma once

#include <QStringList>
#include <cstdint>
#include <memory>

#include "usb_status.h"

class TUsbDevice {
 public:
  virtual ~TUsbDevice() = default;

  // Number of FTDI adapters attached now.
  virtual TUsbStatus CountDevices(uint32_t &count) = 0;
  // The sockets the adapters attached now are plugged into ("3-1.2": bus 3,
  // hub port 1, its port 2), adapter 0 first; empty when they cannot be told.
  virtual QStringList AdapterSockets() { return {}; }
  // Opens adapter 'index' (0 = first) for this object; one at a time.
  virtual TUsbStatus Open(uint8_t index) = 0;
  virtual TUsbStatus SetBaudRate(uint32_t baudRate) = 0;
  virtual TUsbStatus SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                            uint8_t parity) = 0;
  virtual TUsbStatus SetTimeouts(uint32_t readMs, uint32_t writeMs) = 0;
  virtual TUsbStatus SetLatencyTimer(uint8_t ms) = 0;
  // The adapter sends what it holds at once when it receives 'character'.
  virtual TUsbStatus SetEventCharacter(uint8_t character) = 0;
  // Bytes received and waiting to be read.
  virtual TUsbStatus GetQueueStatus(uint32_t &waiting) = 0;
  // Reads at most 'count' bytes that are waiting; 'read' may be less.
  virtual TUsbStatus Read(uint8_t *buffer, uint32_t count, uint32_t &read) = 0;
  // Waits at most 'timeoutMs' in all.
  virtual TUsbStatus Write(const uint8_t *bytes, uint32_t length, uint32_t &written,
                           int timeoutMs) = 0;
  virtual TUsbStatus Close() = 0;

  // Readable when GetQueueStatus has news (bytes, a packet without data, a
  // gone adapter); -1: none.
  virtual int WaitFd() const { return -1; }
  // Packets heard from the adapter so far, those without data included: a
  // silent line's adapter is still alive.
  virtual uint64_t PacketsHeard() const { return 0; }
};
