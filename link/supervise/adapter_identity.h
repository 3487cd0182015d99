// A USB serial adapter keeps its identity when it is plugged in again, its tty
// name may not: udev names a link after the adapter's maker, model, serial
// number and interface (usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0 in
// /dev/serial/by-id) and points it at the tty the adapter has now (ttyUSB0,
// after a replug perhaps ttyUSB1). Following that link finds the adapter again.
#pragma once

#include <QString>

#include "port_discovery.h"

// The identity of the adapter behind the serial port 'portName': the name of
// its link in the by-id folder. Empty when the port has none (a built-in
// port, a port map entry, a port that is not there).
QString AdapterIdentity(const TPortSources &sources, const QString &portName);

// The port name the adapter 'identity' has now; empty while it is not plugged in.
QString PortNameOfAdapter(const TPortSources &sources, const QString &identity);
