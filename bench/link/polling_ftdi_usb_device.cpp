#include "polling_ftdi_usb_device.h"

#include <algorithm>
#include <array>

TUsbStatus TPollingFtdiUsbDevice::CountDevices(uint32_t &count) {
  count = 0;
  return TUsbStatus::Ok;
}

TUsbStatus TPollingFtdiUsbDevice::Open(uint8_t index) {
  context_.reset(ftdi_new());
  ftdi_device_list *list = nullptr;
  const int found = ftdi_usb_find_all(context_.get(), &list, 0, 0);
  ftdi_device_list *node = list;
  for (int i = 0; node != nullptr && i < index; ++i) {
    node = node->next;
  }
  const bool opened =
      found > index && node != nullptr && ftdi_usb_open_dev(context_.get(), node->dev) == 0;
  ftdi_list_free(&list);
  if (!opened) {
    context_.reset();
    return TUsbStatus::DeviceNotOpened;
  }
  ftdi_tcioflush(context_.get());
  received_.clear();
  return TUsbStatus::Ok;
}

TUsbStatus TPollingFtdiUsbDevice::SetBaudRate(uint32_t baudRate) {
  return context_ && ftdi_set_baudrate(context_.get(), static_cast<int>(baudRate)) == 0
             ? TUsbStatus::Ok
             : TUsbStatus::IoError;
}

TUsbStatus TPollingFtdiUsbDevice::SetLatencyTimer(uint8_t) {
  return context_ && ftdi_set_latency_timer(context_.get(), 2) == 0 ? TUsbStatus::Ok
                                                                    : TUsbStatus::IoError;
}

TUsbStatus TPollingFtdiUsbDevice::GetQueueStatus(uint32_t &waiting) {
  waiting = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  std::array<unsigned char, 4096> chunk;
  const int fetched = ftdi_read_data(context_.get(), chunk.data(), static_cast<int>(chunk.size()));
  if (fetched < 0) {
    return TUsbStatus::IoError;
  }
  received_.insert(received_.end(), chunk.begin(), chunk.begin() + fetched);
  waiting = static_cast<uint32_t>(received_.size());
  return TUsbStatus::Ok;
}

TUsbStatus TPollingFtdiUsbDevice::Read(uint8_t *buffer, uint32_t count, uint32_t &read) {
  read = static_cast<uint32_t>(std::min<size_t>(count, received_.size()));
  std::copy_n(received_.begin(), read, buffer);
  received_.erase(received_.begin(), received_.begin() + read);
  return Ok();
}

TUsbStatus TPollingFtdiUsbDevice::Write(const uint8_t *bytes, uint32_t length, uint32_t &written,
                                        int) {
  written = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  const int sent = ftdi_write_data(context_.get(), bytes, static_cast<int>(length));
  written = sent > 0 ? static_cast<uint32_t>(sent) : 0;
  return sent < 0 ? TUsbStatus::IoError : TUsbStatus::Ok;
}

TUsbStatus TPollingFtdiUsbDevice::Close() {
  if (context_) {
    ftdi_usb_close(context_.get());
    context_.reset();
  }
  return TUsbStatus::Ok;
}
