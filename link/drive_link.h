// The drive link as one piece: the port with its worker, the terminal memory
// and its file, the reply handler, the port menu, the watchdog and the
// reconnect with its hot-plug sources, wired together. The main window owns
// one and implements the host.
//
// Creating it creates the port (closed, no port named yet) and points the
// port's receive event at the reply handler. Destroying it ends the worker
// first, so no chunk can reach a handler that is already gone.
#pragma once

#include <QString>
#include <memory>

#include "display_input.h"
#include "link_host.h"
#include "link_observer.h"
#include "link_state.h"
#include "memory_file_menu.h"
#include "open_failure_policy.h"
#include "port_discovery.h"
#include "port_menu.h"
#include "port_thread.h"
#include "program_settings.h"
#include "reconnect.h"
#include "reply_handler.h"
#include "terminal_memory.h"
#include "usb_device.h"
#include "watchdog.h"

class TDriveLink {
 public:
  // Everything passed in must outlive the link. 'defaultMemoryFile' is the
  // memory file loaded at start and saved at close.
  TDriveLink(TLinkState &linkState, TProgramSettings &settings, TLinkHost &host,
             TDisplayInput &display, const QString &defaultMemoryFile,
             std::unique_ptr<TUsbDevice> usb = MakeFtdiUsbDevice(),
             TPortSources sources = TPortSources::System());
  ~TDriveLink();
  TDriveLink(const TDriveLink &) = delete;
  TDriveLink &operator=(const TDriveLink &) = delete;

  TPortThread &Port() { return *port_; }
  TTerminalMemory &Memory() { return memory_; }
  TReplyHandler &Replies() { return replies_; }
  TMemoryFile &MemoryFile() { return memoryFile_; }
  TPortMenu &PortMenu() { return portMenu_; }
  TReconnect &Reconnect() { return reconnect_; }
  TWatchdog &Watchdog() { return watchdog_; }

  // The user closes the port (the window's closing steps): it is not opened
  // again by itself.
  void ClosePort() { reconnect_.ClosePort(); }

  // Observers of the line (monitor, capture); each must stay alive until it
  // is detached. With none attached the link reports nothing.
  void AttachObserver(TLinkObserver *observer);
  void DetachObserver(TLinkObserver *observer);

 private:
  TTerminalMemory memory_;
  std::unique_ptr<TPortThread> port_;
  TOpenFailurePolicy openFailures_;
  TReplyHandler replies_;
  TMemoryFile memoryFile_;
  TPortMenu portMenu_;
  TReconnect reconnect_;
  TWatchdog watchdog_;
  TLinkObserverList observers_;

  void ConnectObservers();
};
