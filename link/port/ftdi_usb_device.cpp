#include "ftdi_usb_device.h"

#include <fcntl.h>
#include <ftdi.h>
#include <libusb.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace {

// vendor 0 and product 0 select libftdi's list of the standard FTDI chips.
constexpr int kAnyFtdiVendor = 0;
constexpr int kAnyFtdiProduct = 0;

// The adapters in the order of the sockets they are plugged into (bus, then
// hub ports): libusb lists the last one plugged first, so an adapter pulled
// and plugged back would otherwise change the numbers of the others.
class TDeviceList {
 public:
  TDeviceList() = default;
  ~TDeviceList() { ftdi_list_free(&list_); }
  TDeviceList(const TDeviceList &) = delete;
  TDeviceList &operator=(const TDeviceList &) = delete;

  // Number of adapters found, or a negative libftdi error.
  int Find(ftdi_context *context) {
    const int found = ftdi_usb_find_all(context, &list_, kAnyFtdiVendor, kAnyFtdiProduct);
    for (ftdi_device_list *node = list_; node != nullptr; node = node->next) {
      sorted_.push_back(node->dev);
    }
    std::stable_sort(sorted_.begin(), sorted_.end(),
                     [](libusb_device *a, libusb_device *b) { return SocketOf(a) < SocketOf(b); });
    return found;
  }
  libusb_device *At(int index) const {
    return index >= 0 && static_cast<size_t>(index) < sorted_.size() ? sorted_[index] : nullptr;
  }
  // "bus-port.port…" of each adapter, in their order.
  QStringList SocketNames() const {
    QStringList names;
    for (libusb_device *device : sorted_) {
      const std::vector<uint8_t> socket = SocketOf(device);
      QString name = QString::number(socket[0]) + QLatin1Char('-');
      for (size_t i = 1; i < socket.size(); ++i) {
        name += (i > 1 ? QStringLiteral(".") : QString()) + QString::number(socket[i]);
      }
      names.append(name);
    }
    return names;
  }

 private:
  static std::vector<uint8_t> SocketOf(libusb_device *device) {
    std::vector<uint8_t> socket(8, 0);
    const int depth =
        libusb_get_port_numbers(device, socket.data() + 1, static_cast<int>(socket.size()) - 1);
    socket.resize(static_cast<size_t>(std::max(depth, 0)) + 1);
    socket[0] = libusb_get_bus_number(device);
    return socket;
  }

  ftdi_device_list *list_ = nullptr;
  std::vector<libusb_device *> sorted_;
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

// The node of 'device' refuses this user: the open failed for want of a
// permission, not for a fault.
bool NodeRefusesAccess(libusb_device *device) {
  const QByteArray node =
      QByteArray("/dev/bus/usb/") +
      QByteArray::number(libusb_get_bus_number(device)).rightJustified(3, '0') + '/' +
      QByteArray::number(libusb_get_device_address(device)).rightJustified(3, '0');
  // Opened as libusb opens it, so that the same credentials decide (access()
  // would judge by the real user, and root's by its permitted rights).
  const int fd = open(node.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) {
    close(fd);
    return false;
  }
  return errno == EACCES || errno == EPERM;
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

QStringList TFtdiUsbDevice::AdapterSockets() {
  TContext context = NewContext();
  TDeviceList devices;
  if (!context || devices.Find(context.get()) < 0) {
    return {};
  }
  return devices.SocketNames();
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
  libusb_device *device = devices.At(index);
  if (ftdi_usb_open_dev(context.get(), device) < 0) {
    return NodeRefusesAccess(device) ? TUsbStatus::NoPermission : TUsbStatus::DeviceNotOpened;
  }
  // What an earlier program left in the chip's buffers is not this line's.
  (void)ftdi_setflowctrl(context.get(), SIO_DISABLE_FLOW_CTRL);
  (void)ftdi_tcioflush(context.get());
  // libftdi names the endpoints as the chip sees them: its out_ep is the
  // host's bulk IN, its in_ep the host's bulk OUT.
  if (!reader_.Start(context->usb_ctx, context->usb_dev,
                     static_cast<unsigned char>(context->out_ep), context->max_packet_size)) {
    ftdi_usb_close(context.get());
    return TUsbStatus::DeviceNotOpened;
  }
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

TUsbStatus TFtdiUsbDevice::SetEventCharacter(uint8_t character) {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  return StatusOf(ftdi_set_event_char(context_.get(), character, 1));
}

TUsbStatus TFtdiUsbDevice::GetQueueStatus(uint32_t &waiting) {
  waiting = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  waiting = static_cast<uint32_t>(reader_.Waiting());
  if (waiting == 0 && reader_.Gone()) {
    return TUsbStatus::IoError;  // adapter unplugged or USB failure
  }
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::Read(uint8_t *buffer, uint32_t count, uint32_t &read) {
  read = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  read = static_cast<uint32_t>(reader_.Take(buffer, count));
  return TUsbStatus::Ok;
}

TUsbStatus TFtdiUsbDevice::Write(const uint8_t *bytes, uint32_t length, uint32_t &written,
                                 int timeoutMs) {
  written = 0;
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  if (length > INT_MAX) {
    return TUsbStatus::InvalidParameter;
  }
  // libusb waits for the transfer handling events itself, beside the worker
  // if need be; bytes it receives meanwhile go to the reader.
  int sent = 0;
  const int result = libusb_bulk_transfer(
      context_->usb_dev, static_cast<unsigned char>(context_->in_ep), const_cast<uint8_t *>(bytes),
      static_cast<int>(length), &sent, std::max(timeoutMs, 1));
  written = static_cast<uint32_t>(std::max(sent, 0));
  return result == 0 ? TUsbStatus::Ok : TUsbStatus::IoError;
}

TUsbStatus TFtdiUsbDevice::Close() {
  if (!context_) {
    return TUsbStatus::InvalidHandle;
  }
  // libftdi releases the USB handle even when it reports a failure (an
  // unplugged adapter cannot release its interface), so the adapter counts as
  // closed either way; reporting a failure would leave a released handle open.
  if (!reader_.Stop()) {
    // A transfer libusb never ended still points into the reader: the
    // context stays (a leak) rather than free memory libusb may write to.
    (void)context_.release();
    return TUsbStatus::Ok;
  }
  ftdi_usb_close(context_.get());
  context_.reset();
  return TUsbStatus::Ok;
}

std::unique_ptr<TUsbDevice> MakeFtdiUsbDevice() {
  return std::make_unique<TFtdiUsbDevice>();
}
