// The port menu and the once-a-second watchdog with the converter search.
//
// The menu lists the ports found (serial names, "-", USB1..n) as radio items
// after its three fixed items; a click opens that port. The watchdog
// (TimerTimer) notices a second without frames, shows it on the display and,
// while the converter search is on, walks the list cyclically, one openable
// port per tick, until a port delivers frames.
//
// Positions are list positions, counted from 0 (the window adds its three
// fixed items). Main thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "link_host.h"
#include "link_state.h"
#include "port_control.h"
#include "program_settings.h"

class TReconnect;

class TPortMenu {
 public:
  // The counters are 8-bit: longer port lists are cut to this many entries.
  static constexpr int kMaxPortEntries = 255;

  // Status screens shown by the watchdog.
  static constexpr int kScreenNoCommunication = 1;
  static constexpr int kScreenNoPortOpened = 2;
  static constexpr int kScreenConverterSearch = 3;

  // Everything passed in must outlive the menu.
  TPortMenu(TLinkState &linkState, TProgramSettings &settings, TPortControl &port, TLinkHost &host);
  TPortMenu(const TPortMenu &) = delete;
  TPortMenu &operator=(const TPortMenu &) = delete;

  // Rebuilds the port items from the port list; when a port is open and a
  // port name is saved, reopens it (OpenSavedPort).
  void Menu_FindAvailablePortsClick();
  // Opens, as Menu_OpenPortClick does, every item whose name equals
  // ProgramSettings.Port (exact comparison). This is no choice of a port.
  void OpenSavedPort();
  // Opens the port of the item at 'position' with its open errors shown;
  // on failure the item is unchecked and the status bar shows "-". A
  // position outside the list or on a separator does nothing. A watchdog
  // tick during the open (a network port's open lets timers run) is skipped.
  void Menu_OpenPortClick(int position);
  // Toggles ProgramSettings.FindFreq and its check mark; the next tick acts.
  void Menu_FindFrequencyConverterClick();
  // The watchdog tick. A tick that arrives while one is still running (from
  // its own event processing) is skipped. With a reconnect attached, it
  // first lets the reconnect reopen a lost port.
  void TimerTimer();

  // Lists the ports again and rebuilds the items when the list changed,
  // without touching the port; the item of the port in use stays checked.
  void RefreshPortList();
  // The reconnect told of every port chosen; none by default. It must
  // outlive the menu's use.
  void SetReconnect(TReconnect *reconnect) { reconnect_ = reconnect; }
  // An open from the menu or a tick is running (its event processing may
  // reach other handlers).
  bool Busy() const { return clickRunning_ || tickRunning_; }
  // The list position of the port 'name'; -1 when it is not listed.
  int PositionOf(const QString &name) const;

  const QStringList &Entries() const { return entries_; }
  // The port name of the item at 'position'; empty for a separator or a
  // position outside the list.
  QString Hint(int position) const;
  uint8_t PortEntryCount() const { return portEntryCount_; }
  uint8_t ScanPosition() const { return scanPosition_; }
  uint8_t ScanTries() const { return scanTries_; }
  // A port was chosen in this run: clicked in the menu, or found by the
  // converter search. Reopening the saved port is no choice.
  bool PortChosen() const { return portChosen_; }

 private:
  // Marks a handler as running for as long as the scope lasts.
  class TRunningGuard {
   public:
    explicit TRunningGuard(bool &running) : running_(running) { running_ = true; }
    ~TRunningGuard() { running_ = false; }
    TRunningGuard(const TRunningGuard &) = delete;
    TRunningGuard &operator=(const TRunningGuard &) = delete;

   private:
    bool &running_;
  };

  void OpenPortAt(int position);
  void RunConverterSearch();
  void TrySearchPosition();
  void TellPortChosen(const QString &name, bool opened);
  bool PortInUse() const;

  TLinkState &linkState_;
  TProgramSettings &settings_;
  TPortControl &port_;
  TLinkHost &host_;
  QStringList entries_;
  uint8_t portEntryCount_ = 0;
  uint8_t scanPosition_ = 0;
  uint8_t scanTries_ = 0;
  bool tickRunning_ = false;
  bool clickRunning_ = false;
  bool portChosen_ = false;
  TReconnect *reconnect_ = nullptr;
};
