#include "network_ports.h"

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

TNetworkPorts ReadNetworkPorts(const TIniFile &file) {
  TNetworkPorts ports;
  for (const auto &[name, url] : file.Entries(kSection)) {
    ports.push_back({name, url});
  }
  return ports;
}

void WriteNetworkPorts(TIniFile &file, const TNetworkPorts &ports) {
  file.EraseSection(kSection);
  for (const TNetworkPort &port : ports) {
    file.WriteString(kSection, port.name, port.url);
  }
}

QString NetworkPortUrl(const TNetworkPorts &ports, const QString &name) {
  for (const TNetworkPort &port : ports) {
    if (port.name == name) {
      return port.url;
    }
  }
  return QString();
}
