// Serial and FTDI adapters coming and going, as udev announces them: a udev
// monitor (events after udev's rules ran, so the by-id links exist already)
// for tty devices and FTDI USB devices, read on the main thread through a
// socket notifier. Without udev (a container, no permission) it stays silent.
#pragma once

#include <QSocketNotifier>
#include <memory>

#include "hot_plug_source.h"

struct udev;
struct udev_monitor;

class TUdevMonitor : public THotPlugSource {
 public:
  TUdevMonitor();
  ~TUdevMonitor() override;
  TUdevMonitor(const TUdevMonitor &) = delete;
  TUdevMonitor &operator=(const TUdevMonitor &) = delete;

  // The monitor is listening.
  bool Active() const { return notifier_ != nullptr; }

 private:
  void ReceiveDevice();

  udev *udev_ = nullptr;
  udev_monitor *monitor_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
};
