// What the reconnect asks of the port list that the port menu keeps. The
// reconnect knows the menu only through this, so the menu may tell the
// reconnect of every port chosen without the two depending on each other.
// Main thread only.
#pragma once

#include <QString>

class TReconnect;

class TPortList {
 public:
  virtual ~TPortList() = default;

  // A port is being opened (a menu click, the converter search, a network
  // port's connect): the event processing around it may reach the watchdog's
  // tick or the reconnect, which must then leave the port and the list alone.
  virtual bool Busy() const = 0;
  // The list position of the port 'name'; -1 when it is not listed.
  virtual int PositionOf(const QString &name) const = 0;
  // Lists the ports again and rebuilds the items when the list changed,
  // without touching the port; the item of the port in use stays checked.
  virtual void RefreshPortList() = 0;
  // The reconnect told of every port chosen (null: none). It must outlive
  // the list's use.
  virtual void SetReconnect(TReconnect *reconnect) = 0;
};
