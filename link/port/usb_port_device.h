// The FTDI USB adapter as a port device, over the adapter seam TUsbDevice
// (libftdi1 and libusb in the program, a scripted fake in tests). The worker
// waits on the adapter's descriptor, or, for an adapter without one, looks
// at its receive queue after each poll interval.
//
// Open opens the adapter chosen by SetAdapter and sets it up for the line:
// baud rate, data characteristics, the line's time-outs, the frame end as
// the event character (a frame is sent on at once) and a long latency timer
// (the most a silent line's adapter costs: one packet per period);
// failures of the set-up count for nothing, the adapter is open. An adapter
// may refuse to close: it then stays open and is still read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "port_device.h"
#include "usb_device.h"

class TUsbPortDevice final : public TPortDevice {
 public:
  explicit TUsbPortDevice(std::unique_ptr<TUsbDevice> usb) : usb_(std::move(usb)) {}

  // The adapter the next Open opens (0 = the first); none: the name numbers
  // no adapter, and Open fails with DeviceNotFound without asking the driver.
  void SetAdapter(std::optional<uint8_t> index) { adapter_ = index; }
  // Adapters attached now; none when the driver cannot count them.
  std::optional<uint32_t> CountAdapters();
  // The sockets of the adapters attached now, adapter 0 first (TUsbDevice).
  QStringList AdapterSockets() { return usb_->AdapterSockets(); }

  TOpenFailure Open(const TLineSettings &line) override;
  bool Close() override;
  TDeviceWait Wait() const override;
  TReadResult Read(std::vector<uint8_t> &buffer, size_t limit) override;
  bool Write(const uint8_t *bytes, size_t length, int timeoutMs) override;
  uint32_t InQueueCount() override;

 private:
  std::unique_ptr<TUsbDevice> usb_;
  std::optional<uint8_t> adapter_;
  uint64_t packetsHeard_ = 0;  // at the last read
};
