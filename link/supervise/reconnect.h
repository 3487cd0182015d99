// Automatic reconnect: the port in use is kept open by itself.
//
// The port in use is the one last opened from the port menu, at start or by
// the converter search (or the saved port that could not be opened at start).
// When its line is lost (tty hung up or failing, adapter pulled, connection
// closed), it is closed and opened again under the same name as soon as that
// works: at each watchdog tick and after each hot-plug event, silently. The
// status bar keeps the port's name meanwhile and its item stays checked; the
// watchdog shows the no-communication screen.
//
// - A USB serial tty is followed by its adapter's identity: an adapter that
//   comes back as ttyUSB1 instead of ttyUSB0 is opened as ttyUSB1. A lost
//   USB1 waits for the adapter in its socket, never takes over another one
//   that is USB1 meanwhile.
// - A port map entry is followed by its name: re-pointed to a new tty, it is
//   the same port back.
// - A port the user closed, or replaced from the menu or by the converter
//   search, is never opened again; while the search is on, it alone picks
//   ports.
//
// A network port whose attempt took long (a host that does not answer keeps
// the window from taking input while it connects) is tried again only after
// three times that long, so at most a quarter of the time goes to connecting;
// a refused connection costs nothing and is tried at every tick.
//
// Hot-plug events (THotPlugSource) also refresh the port list and menu
// without touching the open port. Main thread only.
#pragma once

#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <vector>

#include "hot_plug_source.h"
#include "link_host.h"
#include "link_observer.h"
#include "open_failure_policy.h"
#include "port_control.h"
#include "port_discovery.h"
#include "port_list.h"
#include "program_settings.h"

class TReconnect {
 public:
  // Everything passed in must outlive this object. Registers itself with
  // 'list' (the port menu), which tells it which port is in use.
  TReconnect(TPortList &list, TPortControl &port, TProgramSettings &settings, TLinkHost &host,
             TOpenFailurePolicy &openFailures, TPortSources sources);
  ~TReconnect();
  TReconnect(const TReconnect &) = delete;
  TReconnect &operator=(const TReconnect &) = delete;

  // Listens to 'source' from now on.
  void AddHotPlugSource(std::unique_ptr<THotPlugSource> source);
  // Told of every port that came back by itself; null: nobody.
  void SetObserver(TLinkObserver *observer) { observer_ = observer; }

  // The port menu's reports. 'name' is now the port in use (empty: none);
  // 'opened' says whether its open worked.
  void PortChosen(const QString &name, bool opened);
  // The user closes the port: it is closed and never opened again by itself.
  void ClosePort();

  // Reopens the port in use if its line is lost or it is waited for, without
  // a dialog. Called by the watchdog tick and after hot-plug events; does
  // nothing while the converter search is on or the port menu is busy.
  void Retry();
  // A hot-plug event: refreshes the port list, then retries (coalesced: a
  // burst of events is handled once, from the event loop).
  void PortsChanged();

  // The port in use and, for a USB serial tty, its adapter's identity.
  const QString &PortInUse() const { return inUse_; }
  const QString &AdapterInUse() const { return adapter_; }
  // The port in use lost its line and is waited for.
  bool WaitingForLostPort() const { return lost_; }

 private:
  using TClock = std::chrono::steady_clock;

  QString NameToOpen() const;
  bool OpenAgain(const QString &name);
  void ShowReopened(const QString &name);
  void HandlePortsChanged();

  TPortList &list_;
  TPortControl &port_;
  TProgramSettings &settings_;
  TLinkHost &host_;
  TOpenFailurePolicy &openFailures_;
  const TPortSources sources_;
  std::vector<std::unique_ptr<THotPlugSource>> hotPlugSources_;
  QTimer hotPlugDelay_;

  QString inUse_;
  QString adapter_;
  bool lost_ = false;
  TLinkObserver *observer_ = nullptr;
  TClock::time_point nextNetworkTry_{};
};
