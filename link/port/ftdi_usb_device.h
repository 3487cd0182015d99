// TUsbDevice over libftdi1 and libusb. libftdi finds and opens the adapter
// and sets it up (divisor, line, flow control, latency timer, event
// character, purge); its reads are synchronous, so receiving is left to
// libusb's asynchronous transfers (usb_bulk_reader.h), which the port's
// worker waits for on WaitFd. GetQueueStatus handles what has arrived,
// without waiting, and Read takes the received bytes. Writes are one bulk
// transfer bounded by the caller's time-out.
//
// The kernel's ftdi_sio driver is detached from the adapter while it is open
// here and attached again on close, so the adapter is back as a tty for other
// programs afterwards.
#pragma once

#include <memory>

#include "usb_bulk_reader.h"
#include "usb_device.h"

struct ftdi_context;

class TFtdiUsbDevice : public TUsbDevice {
 public:
  TFtdiUsbDevice() = default;
  ~TFtdiUsbDevice() override;
  TFtdiUsbDevice(const TFtdiUsbDevice &) = delete;
  TFtdiUsbDevice &operator=(const TFtdiUsbDevice &) = delete;

  TUsbStatus CountDevices(uint32_t &count) override;
  QStringList AdapterSockets() override;
  TUsbStatus Open(uint8_t index) override;
  TUsbStatus SetBaudRate(uint32_t baudRate) override;
  TUsbStatus SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  TUsbStatus SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
  TUsbStatus SetLatencyTimer(uint8_t ms) override;
  TUsbStatus SetEventCharacter(uint8_t character) override;
  TUsbStatus GetQueueStatus(uint32_t &waiting) override;
  TUsbStatus Read(uint8_t *buffer, uint32_t count, uint32_t &read) override;
  TUsbStatus Write(const uint8_t *bytes, uint32_t length, uint32_t &written,
                   int timeoutMs) override;
  TUsbStatus Close() override;
  int WaitFd() const override { return reader_.WaitFd(); }
  uint64_t PacketsHeard() const override { return reader_.Finished(); }

 private:
  struct TContextDeleter {
    void operator()(ftdi_context *context) const;
  };
  using TContext = std::unique_ptr<ftdi_context, TContextDeleter>;

  static TContext NewContext();

  TContext context_;  // null while closed
  TUsbBulkReader reader_;
};

std::unique_ptr<TUsbDevice> MakeFtdiUsbDevice();
