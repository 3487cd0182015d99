#include "drive_link.h"

#include <utility>

#include "port_map_watch.h"
#include "udev_monitor.h"

TDriveLink::TDriveLink(TLinkState &linkState, TProgramSettings &settings, TLinkHost &host,
                       TDisplayInput &display, const QString &defaultMemoryFile,
                       std::unique_ptr<TUsbDevice> usb, TPortSources sources)
    : port_(std::make_unique<TPortThread>(std::move(usb), sources)),
      openFailures_(host),
      replies_(linkState, memory_, settings, *port_, host, display),
      memoryFile_(memory_, host, defaultMemoryFile),
      portMenu_(settings, *port_, host, openFailures_),
      reconnect_(portMenu_, *port_, settings, host, openFailures_, sources),
      watchdog_(linkState, settings, *port_, host, portMenu_) {
  reconnect_.AddHotPlugSource(std::make_unique<TUdevMonitor>());
  reconnect_.AddHotPlugSource(std::make_unique<TPortMapWatch>(sources.portMapFolder));
  port_->SetOpenFailureReport(
      [this](const TOpenFailure &failure) { openFailures_.Report(failure); });
  // No port is named yet, so this first open fails, silently (no port has
  // been chosen); the worker starts with the first port that opens, after
  // OnReceive is set.
  port_->ConfigureLine(QString());
  port_->OnReceive = [this](const QByteArray &chunk) { replies_.HandleReply(chunk); };
}

TDriveLink::~TDriveLink() {
  port_.reset();
}

void TDriveLink::AttachObserver(TLinkObserver *observer) {
  observers_.Attach(observer);
  ConnectObservers();
}

void TDriveLink::DetachObserver(TLinkObserver *observer) {
  observers_.Detach(observer);
  ConnectObservers();
}

void TDriveLink::ConnectObservers() {
  TLinkObserver *observer = observers_.Empty() ? nullptr : &observers_;
  replies_.SetObserver(observer);
  port_->SetObserver(observer);
  reconnect_.SetObserver(observer);
}
