#include "network_ports.h"

#include <utility>

#include "ini_file.h"

namespace {

const QString kSection = QString::fromLatin1(kNetworkPortsSection);

}  // namespace

bool IsValidNetworkPortName(const QString &name) {
  if (name.isEmpty() || name != name.trimmed() || name == QStringLiteral("-") ||
      name.startsWith(QLatin1String("USB")) || name.startsWith(u'[') || name.startsWith(u';')) {
    return false;
  }
  for (const QChar c : name) {
    if (c == u'=' || c.category() == QChar::Other_Control) {
      return false;
    }
  }
  return true;
}

static_assert(kMaxNetworkPortUrlLength == TIniFile::kMaxValueLength);

TNetworkPorts ReadNetworkPorts(const TIniFile &file, QStringList *refused) {
  TNetworkPorts ports;
  for (auto &[name, url] : file.Entries(kSection, refused)) {
    ports.push_back({std::move(name), std::move(url)});
  }
  return ports;
}

void WriteNetworkPorts(TIniFile &file, const TNetworkPorts &ports) {
  file.EraseSection(kSection, TIniFile::TOverlongLines::Keep);
  TIniFile::TEntries keys;
  keys.reserve(ports.size());
  for (const TNetworkPort &port : ports) {
    keys.emplace_back(port.name, port.url);
  }
  file.WriteStrings(kSection, keys);
}

QString NetworkPortUrl(const TNetworkPorts &ports, const QString &name) {
  for (const TNetworkPort &port : ports) {
    if (port.name == name) {
      return port.url;
    }
  }
  return QString();
}
