// Which failed opens the user is told of, decided in this one place.
//
// The port reports every open that fails, with its reason, wherever the open
// came from (TPortControl::SetOpenFailureReport; the drive link wires it to
// Report). The user is told of the failures of a port they chose, and of no
// others:
//
// - Nothing is shown until the user first chooses a port: the program's
//   first, nameless open fails silently.
// - A click on a port item (Menu_OpenPortClick; the saved port at start and
//   the reopen after a rebuilt list go through it too) shows failures from
//   then on: the click's own open and every later failed open of the port,
//   such as a setter's reopen on an open port or the reopen after a
//   programming-terminal alert.
// - Once the link picks ports by itself, failures are silent from then on,
//   those reopens included, until the next click: the reconnect opening a
//   lost port again, the converter search walking the port list.
//
// The window shows a failure through TLinkHost::ShowOpenFailure, modally,
// before the open that failed returns. Main thread only.
#pragma once

#include "link_host.h"
#include "open_failure.h"

class TOpenFailurePolicy {
 public:
  // 'host' must outlive the policy.
  explicit TOpenFailurePolicy(TLinkHost &host) : host_(host) {}
  TOpenFailurePolicy(const TOpenFailurePolicy &) = delete;
  TOpenFailurePolicy &operator=(const TOpenFailurePolicy &) = delete;

  // The user chose a port from the menu: its failures are shown.
  void UserChosePort() { shown_ = true; }
  // The reconnect or the converter search picks ports: failures are silent.
  void LinkPicksPorts() { shown_ = false; }
  // Whether a failure reported now is shown.
  bool Shown() const { return shown_; }

  // A failed open, reported by the port.
  void Report(const TOpenFailure &failure) {
    if (shown_) {
      host_.ShowOpenFailure(failure);
    }
  }

 private:
  TLinkHost &host_;
  bool shown_ = false;
};
