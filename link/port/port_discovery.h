// Where port names come from and which device each name opens.
//
// Serial names are (a) the tty devices of the tty class folder that are backed
// by hardware (a "device" link present; ttyS ports whose UART type is 0 are
// left out), opened as <device folder>/NAME, and (b) the entries of the port
// map folder: symbolic links whose file name is the port name and whose
// target is the tty to open (the virtual converter registers itself there).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

struct TPortSources {
  QString ttyClassFolder = QStringLiteral("/sys/class/tty");
  QString deviceFolder = QStringLiteral("/dev");
  QString portMapFolder;  // empty: no port map
  // udev's links named after each USB serial adapter's identity.
  QString serialByIdFolder = QStringLiteral("/dev/serial/by-id");

  // The system's folders and the user's port map folder
  // (port_map_folder.h).
  static TPortSources System();
};

// The port list is walked by 8-bit counters, so it never holds more entries.
inline constexpr int kMaxPortEntries = 255;

inline const QString kPortSeparator = QStringLiteral("-");

// Serial names of both sources, each name once, sorted ignoring case
// ("COM10" before "COM2").
QStringList FindSerialPortNames(const TPortSources &sources);

// 'names' sorted ignoring case, each name once.
QStringList SortedPortNames(QStringList names);

// The port list: the serial names, "-" when 'withSeparator' and there is at
// least one serial name, USB1..USBn for 'usbCount' (none when the count is
// unknown); COM1 to COM5 when that leaves the list empty. Cut to
// kMaxPortEntries.
QStringList BuildPortList(const QStringList &serialNames, std::optional<uint32_t> usbCount,
                          bool withSeparator);

// The device path that the serial port 'name' opens: a port map entry's
// target; a tty of the class folder as <device folder>/NAME; COMn that exists
// nowhere as <device folder>/ttyS(n-1); any other plain name as
// <device folder>/NAME. Empty for an empty name or one that is not a plain
// file name (a path would let the settings file open any file).
QString ResolvePortDevice(const TPortSources &sources, const QString &name);
