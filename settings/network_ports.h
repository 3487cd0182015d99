// Named network ports: section "NetworkPorts" of the settings file, one
// NAME=URL line each (rfc2217://HOST:PORT or socket://HOST:PORT, or either
// inside TLS with its options, written back unchanged). The names
// join the serial names of the port menu; the link opens a name through its
// URL.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class TIniFile;

inline constexpr const char *kNetworkPortsSection = "NetworkPorts";

struct TNetworkPort {
  QString name;
  QString url;
  friend bool operator==(const TNetworkPort &, const TNetworkPort &) = default;
};
using TNetworkPorts = std::vector<TNetworkPort>;

// A name the port menu can list and the settings file can hold as a key:
// not empty, no space at either end, no line break or other control
// character, no '=', not starting with '[' or ';' (the file would read it as
// a section or a comment), not "-" (the menu's separator) and not starting
// with "USB" (those names are the FTDI adapters).
bool IsValidNetworkPortName(const QString &name);

// The longest URL an entry can hold: the settings file gives no more
// characters of a value.
inline constexpr int kMaxNetworkPortUrlLength = 2047;

// The entries of the section in file order, each as written, whether its URL
// is valid or not (the user may still mend it; nothing read is lost). An
// entry whose URL is longer than kMaxNetworkPortUrlLength is not taken, since
// it could only be taken cut short: its name goes to 'refused' (in file
// order) when that is given, and its line is kept by WriteNetworkPorts.
TNetworkPorts ReadNetworkPorts(const TIniFile &file, QStringList *refused = nullptr);

// Replaces the keys of the section with 'ports' in their order; comments in
// the section and the lines of refused entries stay as they are (a port of
// the same name takes the place of such a line). No section is added for an
// empty list. Linear in the size of the file.
void WriteNetworkPorts(TIniFile &file, const TNetworkPorts &ports);

// The URL of the port called 'name' (exact comparison), or an empty text.
QString NetworkPortUrl(const TNetworkPorts &ports, const QString &name);
