// What the reply handler, the port menu and the converter search ask of the
// port. TPortThread implements it; tests replace it with a fake. Main thread.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "open_failure.h"

class TPortControl {
 public:
  using TOpenFailureReport = std::function<void(const TOpenFailure &failure)>;

  virtual ~TPortControl() = default;
  virtual bool OpenPort() = 0;   // returns Connected() after the call
  virtual bool ClosePort() = 0;  // returns true when the port is closed afterwards
  virtual bool Connected() const = 0;
  // The open port stopped delivering (line hung up, adapter gone, connection
  // closed): it stays Connected until it is closed.
  virtual bool LineLost() const { return false; }
  // Successful opens so far: tells the reply handler that a port was opened
  // (or reopened) since it last looked.
  virtual uint64_t OpenCount() const = 0;
  virtual void SetPortName(const QString &name) = 0;
  // Called with the reason of every open that fails, wherever the open came
  // from (a setter's reopen too), before the open returns; empty: nobody.
  // The port shows nothing itself.
  virtual void SetOpenFailureReport(TOpenFailureReport report) = 0;
  // Sends the bytes; false without sending when not connected or on failure.
  virtual bool WriteData(const uint8_t *bytes, uint16_t length) = 0;
  // Serial names sorted ignoring case, "-" when withSeparator and at least one
  // serial name was found, USB1..USBn; or COM1..COM5 when nothing was found.
  virtual QStringList ListPorts(bool withSeparator) = 0;
  // The device 'name' opens takes seconds to open (a network port): the
  // converter search passes over it, so it is opened only when chosen by
  // name, and a reconnect spaces its tries.
  virtual bool OpensSlowly(const QString & /*name*/) const { return false; }
  // The socket of the USB adapter the port name opens now, and the port name
  // of the adapter in a socket now (TPortDevices); empty when there is none.
  virtual QString UsbSocketOf(const QString & /*name*/) { return QString(); }
  virtual QString UsbPortNameAt(const QString & /*socket*/) { return QString(); }
  // A network port's connection is being made: the event loop runs meanwhile,
  // and ticks reached from it leave the port alone.
  virtual bool Opening() const { return false; }
};
