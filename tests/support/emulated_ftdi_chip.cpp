// GLib names a member "signals": its headers before Qt's.
#include <umockdev.h>

#include "emulated_ftdi_chip.h"

#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

constexpr size_t kPacketSize = 64;
constexpr size_t kStatusBytes = 2;
constexpr size_t kPacketData = kPacketSize - kStatusBytes;
constexpr size_t kChipReceiveBuffer = 256;
constexpr uint8_t kModemStatus = 0x01;
constexpr uint8_t kLineStatus = 0x60;
constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xc0;
constexpr uint8_t kGetLatencyTimer = 10;
constexpr uint8_t kPollModemStatus = 5;
constexpr uint8_t kReadEeprom = 0x90;
constexpr uint8_t kBulkIn = 0x81;

// Device and configuration descriptors: one interface, bulk IN 0x81 and bulk
// OUT 0x02 of 64 bytes, bcdDevice 0x0600 (FT232R).
constexpr const char *kDescriptors =
    "120100020000000803040160000601020301"
    "09022000010100a02d"
    "0904000002ffffff02"
    "07058102400000"
    "07050202400000";

void Unref(UMockdevIoctlData *data) {
  if (data != nullptr) {
    g_object_unref(data);
  }
}

struct TUrb {
  UMockdevIoctlData *urb = nullptr;     // the usbdevfs_urb, in the program's memory
  UMockdevIoctlData *buffer = nullptr;  // its buffer
  usbdevfs_urb *Fields() const { return reinterpret_cast<usbdevfs_urb *>(urb->data); }
};

}  // namespace

// Everything the ioctl handler (umockdev's thread) and the chip's own thread
// (line and latency timer) share, under one mutex.
class TEmulatedFtdiChip::TState {
 public:
  TState(int lineFd, const QString &node) : line_(dup(lineFd)), wake_(eventfd(0, EFD_CLOEXEC)) {
    fcntl(line_, F_SETFL, fcntl(line_, F_GETFL) | O_NONBLOCK);
    const QByteArray path = node.toLocal8Bit();
    unlink(path.constData());
    mkfifo(path.constData(), 0666);
    fifo_ = open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    fcntl(fifo_, F_SETPIPE_SZ, 4096);
    FillFifo();
    lastPacket_ = TClock::now();
    thread_ = std::thread([this] { Run(); });
  }
  ~TState() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    Wake();
    thread_.join();
    for (TUrb &urb : pendingIn_) {
      Release(urb);
    }
    for (TUrb &urb : reapable_) {
      Release(urb);
    }
    close(line_);
    close(wake_);
    close(fifo_);
  }
  TState(const TState &) = delete;
  TState &operator=(const TState &) = delete;

  gboolean Handle(UMockdevIoctlClient *client);

  void Unplug() {
    std::lock_guard lock(mutex_);
    gone_ = true;
    // A disconnect ends the URBs in flight: they are reaped with -ESHUTDOWN.
    while (!pendingIn_.empty()) {
      TUrb urb = pendingIn_.front();
      pendingIn_.pop_front();
      urb.Fields()->status = -ESHUTDOWN;
      urb.Fields()->actual_length = 0;
      Finish(urb);
    }
  }

  std::vector<TControlRequest> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  bool Claimed() const {
    std::lock_guard lock(mutex_);
    return claimed_;
  }
  bool Detached() const {
    std::lock_guard lock(mutex_);
    return detached_;
  }
  TCounts Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
  }

 private:
  static void Release(TUrb &urb) {
    Unref(urb.buffer);
    Unref(urb.urb);
  }
  void Wake() {
    const uint64_t one = 1;
    (void)write(wake_, &one, sizeof one);
  }
  void FillFifo() {
    static const char page[4096] = {};
    while (write(fifo_, page, sizeof page) > 0) {
    }
  }
  void DrainFifo() {
    char page[4096];
    while (read(fifo_, page, sizeof page) > 0) {
    }
  }
  // Under mutex_: 'urb' can be reaped.
  void Finish(const TUrb &urb) {
    reapable_.push_back(urb);
    DrainFifo();
  }

  void Run();
  // Under mutex_: sends packets while the chip has a reason to.
  void SendPackets(TClock::time_point now);
  void FillInUrb(TUrb &urb);
  void SubmitUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
  long Control(const TControlRequest &request, uint8_t *data, size_t capacity);

  const int line_;
  const int wake_;
  int fifo_ = -1;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::deque<TUrb> pendingIn_;
  std::deque<TUrb> reapable_;
  QByteArray received_;  // from the line, not yet sent to the host
  TClock::time_point lastPacket_;
  uint8_t latencyMs_ = 16;
  uint8_t eventChar_ = 0;
  bool eventEnabled_ = false;
  bool claimed_ = false;
  bool detached_ = false;
  bool gone_ = false;
  bool stopping_ = false;
  std::vector<TControlRequest> requests_;
  TCounts counts_;
};

void TEmulatedFtdiChip::TState::Run() {
  for (;;) {
    int timeoutMs = -1;
    bool listen = false;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        return;
      }
      listen = received_.size() < static_cast<qsizetype>(kChipReceiveBuffer) && !gone_;
      if (!pendingIn_.empty() && !gone_) {
        const auto due = lastPacket_ + std::chrono::milliseconds(latencyMs_);
        timeoutMs = static_cast<int>(std::max<int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(due - TClock::now()).count() +
                   1));
      }
    }
    pollfd fds[2] = {{wake_, POLLIN, 0}, {listen ? line_ : -1, POLLIN, 0}};
    poll(fds, 2, timeoutMs);
    if (fds[0].revents != 0) {
      uint64_t count = 0;
      (void)read(wake_, &count, sizeof count);
    }
    std::lock_guard lock(mutex_);
    if ((fds[1].revents & POLLIN) != 0) {
      char bytes[kChipReceiveBuffer];
      const ssize_t got =
          read(line_, bytes, kChipReceiveBuffer - static_cast<size_t>(received_.size()));
      if (got > 0) {
        received_.append(bytes, got);
      }
    }
    SendPackets(TClock::now());
  }
}

void TEmulatedFtdiChip::TState::SendPackets(TClock::time_point now) {
  while (!pendingIn_.empty() && !gone_) {
    const bool eventSeen = eventEnabled_ && received_.contains(static_cast<char>(eventChar_));
    const bool full = received_.size() >= static_cast<qsizetype>(kPacketData);
    const bool timerRanOut = now - lastPacket_ >= std::chrono::milliseconds(latencyMs_);
    if (!eventSeen && !full && !timerRanOut) {
      return;
    }
    TUrb urb = pendingIn_.front();
    pendingIn_.pop_front();
    FillInUrb(urb);
    lastPacket_ = now;
    ++counts_.inTransfers;
    Finish(urb);
  }
}

// Packets into the URB until one is short (the host controller ends the
// transfer there) or the buffer is full.
void TEmulatedFtdiChip::TState::FillInUrb(TUrb &urb) {
  usbdevfs_urb *fields = urb.Fields();
  const size_t capacity = static_cast<size_t>(std::max(fields->buffer_length, 0));
  size_t at = 0;
  while (at + kStatusBytes <= capacity) {
    const size_t data = std::min(
        {kPacketData, static_cast<size_t>(received_.size()), capacity - at - kStatusBytes});
    urb.buffer->data[at] = kModemStatus;
    urb.buffer->data[at + 1] = kLineStatus;
    std::memcpy(urb.buffer->data + at + kStatusBytes, received_.constData(), data);
    received_.remove(0, static_cast<qsizetype>(data));
    at += kStatusBytes + data;
    ++counts_.packets;
    if (data < kPacketData || received_.isEmpty()) {
      break;
    }
  }
  fields->actual_length = static_cast<int>(at);
  fields->status = 0;
}

void TEmulatedFtdiChip::TState::SubmitUrb(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
  TUrb urb;
  urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  if (urb.urb == nullptr) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  usbdevfs_urb *fields = urb.Fields();
  urb.buffer =
      umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                  static_cast<gsize>(std::max(fields->buffer_length, 0)), nullptr);
  if (urb.buffer == nullptr) {
    Release(urb);
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  if (fields->type == USBDEVFS_URB_TYPE_CONTROL && fields->buffer_length >= 8) {
    // The setup packet (little-endian), then the data stage.
    const uint8_t *setup = urb.buffer->data;
    const TControlRequest request{setup[0], setup[1],
                                  static_cast<uint16_t>(setup[2] | setup[3] << 8),
                                  static_cast<uint16_t>(setup[4] | setup[5] << 8)};
    const size_t length = std::min<size_t>(static_cast<size_t>(setup[6] | setup[7] << 8),
                                           static_cast<size_t>(fields->buffer_length) - 8);
    fields->actual_length = static_cast<int>(Control(request, urb.buffer->data + 8, length));
    fields->status = 0;
    Finish(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    return;
  }
  if (fields->type != USBDEVFS_URB_TYPE_BULK) {
    Release(urb);
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  if (fields->endpoint == kBulkIn) {
    pendingIn_.push_back(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    Wake();  // the latency timer runs for this one
    return;
  }
  // Bulk OUT: the bytes go out on the line as they are.
  ssize_t done = 0;
  while (done < fields->buffer_length) {
    const ssize_t sent =
        write(line_, urb.buffer->data + done, static_cast<size_t>(fields->buffer_length - done));
    if (sent > 0) {
      done += sent;
      continue;
    }
    pollfd room{line_, POLLOUT, 0};
    if ((sent < 0 && errno != EAGAIN && errno != EINTR) || poll(&room, 1, 1000) <= 0) {
      break;  // nobody takes the line's bytes: the rest is lost, as on a dead cable
    }
  }
  fields->actual_length = static_cast<int>(done);
  fields->status = 0;
  Finish(urb);
  umockdev_ioctl_client_complete(client, 0, 0);
}

// A control request: its data stage (IN) goes to 'data'; returns the bytes
// of the data stage.
long TEmulatedFtdiChip::TState::Control(const TControlRequest &request, uint8_t *data,
                                        size_t capacity) {
  requests_.push_back(request);
  if (request.requestType == kVendorOut) {
    switch (request.request) {
      case kFtdiReset:
        if (request.value != 2) {  // 0 resets the chip, 1 purges what it received
          received_.clear();
        }
        break;
      case kFtdiSetEventChar:
        eventChar_ = static_cast<uint8_t>(request.value & 0xff);
        eventEnabled_ = (request.value & 0x100) != 0;
        break;
      case kFtdiSetLatencyTimer:
        latencyMs_ = static_cast<uint8_t>(std::clamp<int>(request.value & 0xff, 1, 255));
        Wake();
        break;
      default:
        break;
    }
    return 0;
  }
  if (request.requestType != kVendorIn || capacity == 0) {
    return 0;
  }
  std::memset(data, 0, capacity);
  switch (request.request) {
    case kGetLatencyTimer:
      data[0] = latencyMs_;
      return 1;
    case kPollModemStatus:
      data[0] = kModemStatus;
      data[1 % capacity] = kLineStatus;
      return static_cast<long>(std::min<size_t>(capacity, 2));
    case kReadEeprom:
      return static_cast<long>(capacity);  // an empty EEPROM
    default:
      return 0;
  }
}

gboolean TEmulatedFtdiChip::TState::Handle(UMockdevIoctlClient *client) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex_);
  if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
    ++counts_.reaps;
    if (reapable_.empty()) {
      FillFifo();
      umockdev_ioctl_client_complete(client, -1, gone_ ? ENODEV : EAGAIN);
      return TRUE;
    }
    TUrb urb = reapable_.front();
    reapable_.pop_front();
    UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
    if (reapable_.empty()) {
      FillFifo();
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    Unref(slot);
    Release(urb);
    return TRUE;
  }
  if (gone_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData *caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
      *reinterpret_cast<guint32 *>(caps->data) =
          USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      umockdev_ioctl_client_complete(client, 0, 0);
      Unref(caps);
      return TRUE;
    }
    case USBDEVFS_SUBMITURB:
      SubmitUrb(client, arg);
      return TRUE;
    case USBDEVFS_DISCARDURB: {
      const gulong address = *reinterpret_cast<const gulong *>(arg->data);
      const auto found = std::find_if(pendingIn_.begin(), pendingIn_.end(), [&](const TUrb &urb) {
        return urb.urb->client_addr == address;
      });
      if (found == pendingIn_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
      }
      TUrb urb = *found;
      pendingIn_.erase(found);
      urb.Fields()->status = -ENOENT;
      urb.Fields()->actual_length = 0;
      Finish(urb);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_CONTROL: {
      UMockdevIoctlData *setup =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ctrltransfer), nullptr);
      const auto *transfer = reinterpret_cast<const usbdevfs_ctrltransfer *>(setup->data);
      UMockdevIoctlData *data =
          transfer->wLength > 0
              ? umockdev_ioctl_data_resolve(setup, offsetof(usbdevfs_ctrltransfer, data),
                                            transfer->wLength, nullptr)
              : nullptr;
      const long result =
          Control({transfer->bRequestType, transfer->bRequest, transfer->wValue, transfer->wIndex},
                  data != nullptr ? data->data : nullptr, data != nullptr ? transfer->wLength : 0);
      umockdev_ioctl_client_complete(client, result, 0);
      Unref(data);
      Unref(setup);
      return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
      claimed_ = true;
      break;
    case USBDEVFS_DISCONNECT_CLAIM:
      claimed_ = true;
      detached_ = true;
      break;
    case USBDEVFS_RELEASEINTERFACE:
      claimed_ = false;
      break;
    case USBDEVFS_IOCTL: {
      UMockdevIoctlData *command =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
      if (command != nullptr) {
        const int code = reinterpret_cast<const usbdevfs_ioctl *>(command->data)->ioctl_code;
        if (code == static_cast<int>(USBDEVFS_CONNECT)) {
          detached_ = false;
        } else if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
          detached_ = true;
        }
        Unref(command);
      }
      break;
    }
    case USBDEVFS_GETDRIVER:
      umockdev_ioctl_client_complete(client, -1, ENODATA);
      return TRUE;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
      break;
    default:
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return TRUE;
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return TRUE;
}

namespace {

gboolean OnIoctl(UMockdevIoctlBase * /*handler*/, UMockdevIoctlClient *client, gpointer state) {
  return static_cast<TEmulatedFtdiChip::TState *>(state)->Handle(client);
}

QByteArray Owned(gchar *text) {
  const QByteArray copy(text);
  g_free(text);
  return copy;
}

}  // namespace

TEmulatedFtdiChip::TEmulatedFtdiChip(UMockdevTestbed *bed, int port, int address,
                                     const char *serial, int lineFd)
    : bed_(bed) {
  const QByteArray devNum = QByteArray::number(address).rightJustified(3, '0');
  const QByteArray node = "/dev/bus/usb/001/" + devNum;
  node_ = node;
  const QByteArray name = "1-" + QByteArray::number(port);
  sysfsPath_ = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + name;
  nodePath_ = QString::fromUtf8(Owned(umockdev_testbed_get_root_dir(bed_)) + node);

  handler_ = umockdev_ioctl_base_new();
  // The handler first, so the node answers as soon as udev tells of it.
  umockdev_testbed_attach_ioctl(bed_, node.constData(), handler_, nullptr);
  const QByteArray description =
      "P: /devices/pci0000:00/0000:00:14.0/usb1/" + name + "\nN: bus/usb/001/" + devNum +
      "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" +
      devNum + "\nE: DEVNAME=" + node + "\nE: PRODUCT=403/6001/600\nE: ID_VENDOR_ID=0403" +
      "\nE: ID_MODEL_ID=6001\nE: ID_SERIAL_SHORT=" + serial +
      "\nA: idVendor=0403\\n\nA: idProduct=6001\\n\nA: bcdDevice=0600\\n\nA: busnum=1\\n" +
      "\nA: devnum=" + QByteArray::number(address) +
      "\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n" +
      "\nA: manufacturer=FTDI\\n\nA: product=FT232R USB UART\\n\nA: serial=" + serial +
      "\\n\nA: dev=189:" + QByteArray::number(address - 1) + "\\n\nH: descriptors=" + kDescriptors +
      "\n";
  umockdev_testbed_add_from_string(bed_, description.constData(), nullptr);
  state_ = std::make_unique<TState>(lineFd, nodePath_);
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), state_.get());
}

TEmulatedFtdiChip::~TEmulatedFtdiChip() {
  Unplug();
  umockdev_testbed_detach_ioctl(bed_, node_.constData(), nullptr);
  g_signal_handlers_disconnect_by_data(handler_, state_.get());
  g_object_unref(handler_);
}

void TEmulatedFtdiChip::Unplug() {
  if (!plugged_) {
    return;
  }
  plugged_ = false;
  state_->Unplug();
  QFile::remove(nodePath_);
  umockdev_testbed_uevent(bed_, sysfsPath_.constData(), "remove");
  umockdev_testbed_remove_device(bed_, sysfsPath_.constData());
}

std::vector<TEmulatedFtdiChip::TControlRequest> TEmulatedFtdiChip::ControlRequests() const {
  return state_->Requests();
}

std::optional<uint16_t> TEmulatedFtdiChip::LastRequest(uint8_t request) const {
  std::optional<uint16_t> value;
  for (const TControlRequest &sent : state_->Requests()) {
    if (sent.requestType == kVendorOut && sent.request == request) {
      value = sent.value;
    }
  }
  return value;
}

bool TEmulatedFtdiChip::InterfaceClaimed() const {
  return state_->Claimed();
}

bool TEmulatedFtdiChip::KernelDriverDetached() const {
  return state_->Detached();
}

TEmulatedFtdiChip::TCounts TEmulatedFtdiChip::Counts() const {
  return state_->Counts();
}

TEmulatedUsbBus::TEmulatedUsbBus() : bed_(umockdev_testbed_new()) {}

TEmulatedUsbBus::~TEmulatedUsbBus() {
  g_object_unref(bed_);
}

std::unique_ptr<TEmulatedFtdiChip> TEmulatedUsbBus::Plug(int port, const char *serial, int lineFd) {
  return std::make_unique<TEmulatedFtdiChip>(bed_, port, nextAddress_++, serial, lineFd);
}

QProcessEnvironment TEmulatedUsbBus::ProgramEnvironment(QProcessEnvironment base) const {
  base.insert(QStringLiteral("UMOCKDEV_DIR"),
              QString::fromUtf8(Owned(umockdev_testbed_get_root_dir(bed_))));
  base.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("libumockdev-preload.so.0"));
  // A sanitized program: its runtime need not come first in the preload.
  const QString asan = base.value(QStringLiteral("ASAN_OPTIONS"));
  base.insert(QStringLiteral("ASAN_OPTIONS"),
              asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("verify_asan_link_order=0"));
  return base;
}

bool TEmulatedUsbBus::Usable() {
  for (const char *folder : {"/usr/lib/x86_64-linux-gnu", "/usr/lib64", "/usr/lib"}) {
    if (QFile::exists(QString::fromLatin1(folder) + QStringLiteral("/libumockdev-preload.so.0"))) {
      return true;
    }
  }
  return false;
}
