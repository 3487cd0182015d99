// Automation on or off: while on, the panel (TPanelBusObject) is on the
// session bus at /org/sorvanel/Panel under the program's own well-known name
// (bus_names.h), so scripts can press keys and read the display. Off, it is
// on no bus and observes nothing.
#pragma once

#include <QString>
#include <memory>

#include "display_model.h"
#include "drive_link.h"
#include "keypad.h"

class TPanelBusObject;

class TPanelAutomation {
 public:
  // Everything passed in outlives the automation.
  TPanelAutomation(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                   const QString &settingsFile);
  ~TPanelAutomation();
  TPanelAutomation(const TPanelAutomation &) = delete;
  TPanelAutomation &operator=(const TPanelAutomation &) = delete;

  // Puts the panel on the session bus. False, with the reason in 'error'
  // and automation still off, when there is no session bus or no name could
  // be had. On already: true, nothing changes.
  bool TurnOn(QString *error);
  // Takes the panel off the bus; a tap still waiting releases its key.
  void TurnOff();

  bool IsOn() const { return busObject_ != nullptr; }
  // The well-known name owned while on; empty while off.
  const QString &BusName() const { return busName_; }

  // How many names with a suffix are tried after the plain one.
  static constexpr int kNameAttempts = 99;

 private:
  TDisplayModel &model_;
  TKeypad &keypad_;
  TDriveLink &link_;
  QString settingsFile_;
  std::unique_ptr<TPanelBusObject> busObject_;
  QString busName_;
};
