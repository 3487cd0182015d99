// A USB serial adapter keeps its identity when it is plugged in again, its tty
// name may not: udev names a link after the adapter's maker, model, serial
// number and interface (usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0 in
// /dev/serial/by-id) and points it at the tty the adapter has now (ttyUSB0,
// after a replug perhaps ttyUSB1). Following that link finds the adapter again.
//
// An FTDI adapter opened in user space (USB1, USB2, …) is numbered by the
// order of the sockets the adapters are plugged into: while USB1's adapter
// is out, the other one is USB1. Its identity is its socket, so a lost USB1
// waits for its own adapter instead of taking over another converter's.
#pragma once

#include <QString>

#include "port_control.h"
#include "port_discovery.h"

// The identity of the adapter behind the port 'portName': the name of its
// link in the by-id folder, or "socket:" and the socket of a USB port's
// adapter. Empty when the port has none (a built-in port, a port map entry,
// a network port, a port that is not there).
QString AdapterIdentity(const TPortSources &sources, TPortControl &port, const QString &portName);

// The port name the adapter 'identity' has now; empty while it is not plugged in.
QString PortNameOfAdapter(const TPortSources &sources, TPortControl &port, const QString &identity);
