#include "udev_monitor.h"

#include <libudev.h>

#include <QByteArray>

namespace {

// FTDI's USB vendor id as the kernel writes it in PRODUCT ("403/6001/600"),
// which, unlike the sysfs attributes, an event for a removed device still has.
bool IsFtdiUsbDevice(udev_device *device) {
  const char *devtype = udev_device_get_devtype(device);
  const char *product = udev_device_get_property_value(device, "PRODUCT");
  return devtype != nullptr && QByteArray(devtype) == "usb_device" && product != nullptr &&
         QByteArray(product).startsWith("403/");
}

bool ChangesPortList(udev_device *device) {
  const char *subsystem = udev_device_get_subsystem(device);
  if (subsystem == nullptr) {
    return false;
  }
  const QByteArray kind(subsystem);
  return kind == "tty" || (kind == "usb" && IsFtdiUsbDevice(device));
}

}  // namespace

TUdevMonitor::TUdevMonitor() {
  udev_ = udev_new();
  if (udev_ == nullptr) {
    return;
  }
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return;
  }
  const int fd = udev_monitor_get_fd(monitor_);
  if (fd < 0) {
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [this] { ReceiveDevice(); });
}

TUdevMonitor::~TUdevMonitor() {
  notifier_.reset();
  if (monitor_ != nullptr) {
    udev_monitor_unref(monitor_);
  }
  if (udev_ != nullptr) {
    udev_unref(udev_);
  }
}

// One device per activation; the notifier fires again while more wait.
void TUdevMonitor::ReceiveDevice() {
  udev_device *device = udev_monitor_receive_device(monitor_);
  if (device == nullptr) {
    return;
  }
  const bool relevant = ChangesPortList(device);
  udev_device_unref(device);
  if (relevant) {
    ReportPortsChanged();
  }
}
