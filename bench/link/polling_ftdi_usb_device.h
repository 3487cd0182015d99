// For comparison only: the adapter as the program first read it, with
// libftdi's synchronous read. The worker has no descriptor to wait on and
// looks after each poll interval; every look is a bulk transfer that returns
// when the adapter sends a packet, at the latest when its latency timer runs
// out (2 ms then).
#pragma once

#include <ftdi.h>

#include <memory>
#include <vector>

#include "usb_device.h"

class TPollingFtdiUsbDevice : public TUsbDevice {
 public:
  ~TPollingFtdiUsbDevice() override { Close(); }

  TUsbStatus CountDevices(uint32_t &count) override;
  TUsbStatus Open(uint8_t index) override;
  TUsbStatus SetBaudRate(uint32_t baudRate) override;
  TUsbStatus SetDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return Ok(); }
  TUsbStatus SetTimeouts(uint32_t, uint32_t) override { return Ok(); }
  TUsbStatus SetLatencyTimer(uint8_t) override;                    // always the first design's 2 ms
  TUsbStatus SetEventCharacter(uint8_t) override { return Ok(); }  // none then
  TUsbStatus GetQueueStatus(uint32_t &waiting) override;
  TUsbStatus Read(uint8_t *buffer, uint32_t count, uint32_t &read) override;
  TUsbStatus Write(const uint8_t *bytes, uint32_t length, uint32_t &written, int) override;
  TUsbStatus Close() override;

 private:
  TUsbStatus Ok() const { return context_ ? TUsbStatus::Ok : TUsbStatus::InvalidHandle; }

  struct TFree {
    void operator()(ftdi_context *context) const { ftdi_free(context); }
  };
  std::unique_ptr<ftdi_context, TFree> context_;
  std::vector<uint8_t> received_;
};
