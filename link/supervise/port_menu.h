// The port menu: the ports found (serial names, "-", USB1..n) as radio items
// after its three fixed items; a click opens that port. It also walks its
// list for the converter search, one openable port per watchdog tick, until
// a port delivers frames (the watchdog, watchdog.h, decides when).
//
// Positions are list positions, counted from 0 (the window adds its three
// fixed items). Main thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "link_host.h"
#include "open_failure_policy.h"
#include "port_control.h"
#include "port_list.h"
#include "program_settings.h"

class TPortMenu : public TPortList {
 public:
  // The counters are 8-bit: longer port lists are cut to this many entries.
  static constexpr int kMaxPortEntries = 255;

  // Everything passed in must outlive the menu.
  TPortMenu(TProgramSettings &settings, TPortControl &port, TLinkHost &host,
            TOpenFailurePolicy &openFailures);
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
  // position outside the list or on a separator does nothing.
  void Menu_OpenPortClick(int position);
  // Toggles ProgramSettings.FindFreq and its check mark; the next tick acts.
  void Menu_FindFrequencyConverterClick();

  // The converter search's step at a silent tick: closes the port, then
  // tries the positions after ScanPosition, wrapping at the end of the list,
  // until one port opens or every position has been tried once. Failed opens
  // stay silent; network ports are passed over (they open by name only).
  void RunConverterSearch();
  // TPortList.
  bool Busy() const override { return clickRunning_ || searching_ || port_.Opening(); }
  int PositionOf(const QString &name) const override;
  void RefreshPortList() override;
  void SetReconnect(TReconnect *reconnect) override { reconnect_ = reconnect; }

  // A click is choosing a port (its open, or its open-error dialog).
  bool ClickRunning() const { return clickRunning_; }
  // The reconnect told of every port chosen; null when none is attached.
  TReconnect *Reconnect() const { return reconnect_; }
  // A port is open, or lost and waited for by the reconnect.
  bool PortInUse() const;

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
  // A port named at start (not empty) replaces ProgramSettings.Port for this
  // run only: PortToSave stays the port saved before, unless a port is chosen.
  void UseForThisRun(const QString &name);
  // The port the settings file is to keep.
  QString PortToSave() const;

 private:
  void OpenPortAt(int position);
  void TrySearchPosition();
  void TellPortChosen(const QString &name, bool opened);

  TProgramSettings &settings_;
  TPortControl &port_;
  TLinkHost &host_;
  TOpenFailurePolicy &openFailures_;
  QStringList entries_;
  uint8_t portEntryCount_ = 0;
  uint8_t scanPosition_ = 0;
  uint8_t scanTries_ = 0;
  // The converter search runs: each port it tries is followed by
  // ProcessPendingEvents, where a watchdog tick (after an alert restarted
  // the timer) or a hot-plug event may arrive. The tick is skipped and the
  // reconnect waits (Busy), so the list is not walked twice at once.
  bool searching_ = false;
  // A click opens a port: its ProcessPendingEvents, a network port's local
  // event loop and a modal open-error dialog may reach a tick or a hot-plug
  // event. The tick is skipped and the reconnect waits (Busy), so neither a
  // search nor a reopen replaces the port the click is opening.
  bool clickRunning_ = false;
  bool portChosen_ = false;
  std::optional<QString> savedBeforeThisRun_;  // set by UseForThisRun
  TReconnect *reconnect_ = nullptr;
};
