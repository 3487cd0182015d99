// The once-a-second watchdog. Each tick of the window's timer lets the
// reconnect reopen a lost port, then looks at the frames of the second that
// passed: frames keep the link as it is; a silent second holds the next
// answers back, marks the converter absent and shows that on the display,
// and, while the converter search is on, lets the port menu try the next
// port. Main thread only.
#pragma once

#include "link_host.h"
#include "link_state.h"
#include "port_control.h"
#include "port_menu.h"
#include "program_settings.h"

class TWatchdog {
 public:
  // Everything passed in must outlive the watchdog. The reconnect, if any,
  // is the one attached to 'menu'.
  TWatchdog(TLinkState &linkState, TProgramSettings &settings, TPortControl &port, TLinkHost &host,
            TPortMenu &menu);
  TWatchdog(const TWatchdog &) = delete;
  TWatchdog &operator=(const TWatchdog &) = delete;

  // The tick. One that arrives while the port menu is busy opening a port
  // (a click, the converter search, a network port's connect) is skipped:
  // that open goes on.
  void TimerTimer();

 private:
  TLinkState &linkState_;
  TProgramSettings &settings_;
  TPortControl &port_;
  TLinkHost &host_;
  TPortMenu &menu_;
};
