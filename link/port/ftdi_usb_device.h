// TUsbDevice over libftdi1. libftdi1 has no queue-status call: a read that
// returns no bytes is how it polls. So GetQueueStatus fetches what the adapter
// has into a receive buffer of this object and reports its fill, and Read
// takes bytes from that buffer.
//
// The kernel's ftdi_sio driver is detached from the adapter while it is open
// here and attached again on close, so the adapter is back as a tty for other
// programs afterwards.
#pragma once

#include <memory>
#include <vector>

#include "usb_device.h"

struct ftdi_context;

class TFtdiUsbDevice : public TUsbDevice {
 public:
  TFtdiUsbDevice() = default;
  ~TFtdiUsbDevice() override;
  TFtdiUsbDevice(const TFtdiUsbDevice &) = delete;
  TFtdiUsbDevice &operator=(const TFtdiUsbDevice &) = delete;

  TUsbStatus CountDevices(uint32_t &count) override;
  TUsbStatus Open(uint8_t index) override;
  TUsbStatus SetBaudRate(uint32_t baudRate) override;
  TUsbStatus SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  TUsbStatus SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
  TUsbStatus SetLatencyTimer(uint8_t ms) override;
  TUsbStatus GetQueueStatus(uint32_t &waiting) override;
  TUsbStatus Read(uint8_t *buffer, uint32_t count, uint32_t &read) override;
  TUsbStatus Write(const uint8_t *bytes, uint32_t length, uint32_t &written) override;
  TUsbStatus Close() override;

 private:
  struct TContextDeleter {
    void operator()(ftdi_context *context) const;
  };
  using TContext = std::unique_ptr<ftdi_context, TContextDeleter>;

  static TContext NewContext();

  TContext context_;               // null while closed
  std::vector<uint8_t> received_;  // fetched from the adapter, not yet read
};

std::unique_ptr<TUsbDevice> MakeFtdiUsbDevice();
