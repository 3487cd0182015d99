#include "ftdi_usb_device.h"

#include <ftdi.h>

#include <algorithm>
#include <array>

namespace {

// The receive buffer never holds more than the driver queue of a serial port.
constexpr size_t kReceiveBufferLimit = 32 * 1024;
constexpr int kFetchChunk = 4096;

// vendor 0 and product 0 select libftdi's list of the standard FTDI chips.
constexpr int kAnyFtdiVendor = 0;
constexpr int kAnyFtdiProduct = 0;

class TDeviceList {
 public:
  TDeviceList() = default;
  ~TDeviceList() { ftdi_list_free(&list_); }
  TDeviceList(const TDeviceList &) = delete;
  TDeviceList &operator=(const TDeviceList &) = delete;

  // Number of adapters found, or a negative libftdi error.
  int Find(ftdi_context *context) {
    return ftdi_usb_find_all(context, &list_, kAnyFtdiVendor, kAnyFtdiProduct);
  }
  libusb_device *At(int index) const {
    ftdi_device_list *node = list_;
    for (int i = 0; node != nullptr && i < index; ++i) {
      node = node->next;
    }
    return node != nullptr ? node->dev : nullptr;
  }

 private:
  ftdi_device_list *list_ = nullptr;
};

ftdi_bits_type BitsOf(uint8_t wordLength) {
  return wordLength == 7 ? BITS_7 : BITS_8;
}

ftdi_stopbits_type StopBitsOf(uint8_t stopBits) {
  switch (stopBits) {
    case 1:
      return STOP_BIT_15;
    case 2:
      return STOP_BIT_2;
    default:
      return STOP_BIT_1;
  }
}

ftdi_parity_type ParityOf(uint8_t parity) {
  return parity <= SPACE ? static_cast<ftdi_parity_type>(parity) : NONE;
}

TUsbStatus StatusOf(int result) {
  return result < 0 ? TUsbStatus::IoError : TUsbStatus::Ok;
}

}  // namespace

void TFtdiUsbDevice::TContextDeleter::operator()(ftdi_context *context) const {
  ftdi_free(context);
}

TFtdiUsbDevice::TContext TFtdiUsbDevice::NewContext() {
  return TContext(ftdi_new());
}

TFtdiUsbDevice::~TFtdiUsbDevice() {
  Close();
}

TUsbStatus TFtdiUsbDevice::CountDevices(uint32_t &count) {
  count = 0;
  TContext context = NewContext();
  if (!context) {
    return TUsbStatus::InsufficientResources;
  }
  TDeviceList devices;
  const int found = devices.Find(context.get());
  if (found < 0) {
    return TUsbStatus::OtherError;
  }
  count = static_cast<uint32_t>(found);
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::Open(uint8_t index) {
  if (context_) {
    return TUsbStatus::DeviceNotOpened;
  }
  TContext context = NewContext();
  if (!context) {
    return TUsbStatus::InsufficientResources;
  }
  context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
  TDeviceList devices;
  if (devices.Find(context.get()) <= index) {
    return TUsbStatus::DeviceNotFound;
  }
  if (ftdi_usb_open_dev(context.get(), devices.At(index)) < 0) {
    return TUsbStatus::DeviceNotOpened;
  }
  received_.clear();
  context_ = std::move(context);
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::SetBaudRate(uint32_t baudRate) {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  return StatusOf(ftdi_set_baudrate(context_.get(), static_cast<int>(baudRate)));
}

TUsbStatus TFtdiUsbDevice::SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                                  uint8_t parity) {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  return StatusOf(ftdi_set_line_property(context_.get(), BitsOf(wordLength), StopBitsOf(stopBits),
                                         ParityOf(parity)));
}

TUsbStatus TFtdiUsbDevice::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  context_->usb_read_timeout = static_cast<int>(readMs);
  context_->usb_write_timeout = static_cast<int>(writeMs);
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::SetLatencyTimer(uint8_t ms) {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  return StatusOf(ftdi_set_latency_timer(context_.get(), ms));
}

TUsbStatus TFtdiUsbDevice::GetQueueStatus(uint32_t &waiting) {
  waiting = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  if (received_.size() < kReceiveBufferLimit) {
    std::array<unsigned char, kFetchChunk> chunk;
    const int fetched = ftdi_read_data(context_.get(), chunk.data(), kFetchChunk);
    if (fetched < 0) {
      return TUsbStatus::IoError;  // adapter unplugged or USB failure
    }
    received_.insert(received_.end(), chunk.begin(), chunk.begin() + fetched);
  }
  waiting = static_cast<uint32_t>(received_.size());
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::Read(uint8_t *buffer, uint32_t count, uint32_t &read) {
  read = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  const size_t taken = std::min<size_t>(count, received_.size());
  std::copy_n(received_.begin(), taken, buffer);
  received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(taken));
  read = static_cast<uint32_t>(taken);
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::Write(const uint8_t *bytes, uint32_t length, uint32_t &written) {
  written = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  const int sent = ftdi_write_data(context_.get(), bytes, static_cast<int>(length));
  if (sent < 0) {
    return TUsbStatus::IoError;
  }
  written = static_cast<uint32_t>(sent);
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::Close() {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  // libftdi releases the USB handle even when it reports a failure (an
  // unplugged adapter cannot release its interface), so the adapter counts as
  // closed either way; reporting a failure would leave a released handle open.
  ftdi_usb_close(context_.get());
  context_.reset();
  received_.clear();
  return TUsbStatus::Ok;
}

std::unique_ptr<TUsbDevice> MakeFtdiUsbDevice() {
  return std::make_unique<TFtdiUsbDevice>();
}
