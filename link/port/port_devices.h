// The devices a port can open, one of each kind, and the one place that
// knows which of them a port name opens:
//
//   "USB" and a number n from 1 to 256 (case-sensitive)  the FTDI adapter n-1;
//       "USB" followed by anything else names no adapter (it must not wrap
//       round to another adapter's index)
//   a name of the network ports                           the network port at its URL
//   any other name                                        the tty ResolvePortDevice finds
//
// Main thread only; Choose only while no device is open.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "network_device.h"
#include "network_ports.h"
#include "port_device.h"
#include "port_discovery.h"
#include "serial_device.h"
#include "usb_device.h"
#include "usb_port_device.h"

class TPortDevices {
 public:
  TPortDevices(std::unique_ptr<TUsbDevice> usb, std::unique_ptr<TSerialDevice> tty,
               TPortSources sources);

  // Network opens give up at once when 'stop' is requested.
  void SetOpenStop(TOpenStop stop) { network_.SetOpenStop(stop); }
  // The named network ports; a name here wins over a tty of the same name.
  void SetNetworkPorts(const TNetworkPorts &ports) { networkPorts_ = ports; }
  // The device 'name' opens says it opens slowly (port_device.h).
  bool OpensSlowly(const QString &name) const;

  // The device that opens 'name', aimed at what the name designates.
  TPortDevice &Choose(const QString &name);

  // The socket of the adapter the USB port name 'name' opens now; empty for
  // any other name and while there is no such adapter.
  QString UsbSocketOf(const QString &name);
  // The USB port name of the adapter plugged into 'socket' now; empty while
  // none is.
  QString UsbPortNameAt(const QString &socket);

  // The port list of the menu (port_discovery.h): the serial names with the
  // valid network port names sorted in, then the adapters.
  QStringList ListPorts(bool withSeparator);

 private:
  const TPortSources sources_;
  TUsbPortDevice usb_;
  std::unique_ptr<TSerialDevice> tty_;
  TNetworkDevice network_;
  TNetworkPorts networkPorts_;
};

// Opens the server at 'url' and closes it again, as an open of a network
// port would (away from the window's thread, open_away.h). A TLS server's
// certificate goes to 'certificate' when given, whether it was accepted or
// not. It gives up at once when 'stop' is requested.
TOpenFailure TryNetworkPort(const QString &url, TOpenStop stop = TOpenStop(),
                            std::optional<TServerCertificate> *certificate = nullptr);
