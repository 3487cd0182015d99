#include "usb_port_device.h"

#include <poll.h>

#include <algorithm>
#include <utility>

#include "frame_bytes.h"

std::optional<uint32_t> TUsbPortDevice::CountAdapters() {
  uint32_t count = 0;
  return usb_->CountDevices(count) == TUsbStatus::Ok ? std::optional<uint32_t>(count)
                                                     : std::nullopt;
}

TOpenFailure TUsbPortDevice::Open(const TLineSettings &line) {
  const TUsbStatus status = adapter_ ? usb_->Open(*adapter_) : TUsbStatus::DeviceNotFound;
  if (status != TUsbStatus::Ok) {
    return TOpenFailure::OfUsbAdapter(status);
  }
  usb_->SetBaudRate(static_cast<uint32_t>(line.baudRate));
  usb_->SetDataCharacteristics(line.byteSize, line.stopBits, line.parity);
  usb_->SetTimeouts(kReadTimeoutMs, kWriteTimeoutMs);
  usb_->SetLatencyTimer(kUsbLatencyTimerMs);
  usb_->SetEventCharacter(kelvo::kEtx);
  packetsHeard_ = usb_->PacketsHeard();
  return {};
}

bool TUsbPortDevice::Close() {
  return usb_->Close() == TUsbStatus::Ok;
}

TUsbPortDevice::TReadResult TUsbPortDevice::Read(std::vector<uint8_t> &buffer, size_t limit) {
  uint32_t waiting = 0;
  if (usb_->GetQueueStatus(waiting) != TUsbStatus::Ok) {
    return {TReadState::HungUp, 0};  // the adapter was pulled
  }
  if (waiting == 0) {
    const uint64_t heard = usb_->PacketsHeard();
    if (heard == std::exchange(packetsHeard_, heard)) {
      return {};
    }
    return {TReadState::Data, 0};  // a packet without data: the adapter is alive
  }
  buffer.resize(std::min<size_t>(waiting, limit));
  uint32_t got = 0;
  if (usb_->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), got) != TUsbStatus::Ok) {
    return {TReadState::HungUp, 0};
  }
  return {TReadState::Data, std::min<size_t>(got, buffer.size())};
}

TDeviceWait TUsbPortDevice::Wait() const {
  const int fd = usb_->WaitFd();
  return {fd, fd >= 0 ? static_cast<short>(POLLIN) : static_cast<short>(0), false};
}

bool TUsbPortDevice::Write(const uint8_t *bytes, size_t length, int timeoutMs) {
  uint32_t written = 0;
  return usb_->Write(bytes, static_cast<uint32_t>(length), written, timeoutMs) == TUsbStatus::Ok &&
         written == length;
}

uint32_t TUsbPortDevice::InQueueCount() {
  uint32_t waiting = 0;
  return usb_->GetQueueStatus(waiting) == TUsbStatus::Ok ? waiting : 0;
}
