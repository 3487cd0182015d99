// A port source that tells when ports may have come or gone: a serial
// adapter or an FTDI adapter plugged in or pulled, a port map entry added,
// removed or pointed at another tty. The program's sources are the udev
// monitor and the port map watch; tests feed the link from a fake.
// Main thread only.
#pragma once

#include <functional>

class THotPlugSource {
 public:
  virtual ~THotPlugSource() = default;

  // Called on the main thread after each change; the listener lists the
  // ports again itself (a burst of changes may come as several calls).
  std::function<void()> OnPortsChanged;

 protected:
  void ReportPortsChanged() {
    if (OnPortsChanged) {
      OnPortsChanged();
    }
  }
};
