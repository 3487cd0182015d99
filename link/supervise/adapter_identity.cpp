#include "adapter_identity.h"

#include <QDir>
#include <QFileInfo>

namespace {

// by-id link names begin with the bus kind ("usb-", "pci-"), never with this.
constexpr QLatin1String kSocketPrefix("socket:");

// The tty a by-id link points at, by its file name; empty for a dangling link.
QString LinkedTtyName(const QFileInfo &link) {
  if (!link.isSymLink() || !link.exists()) {
    return QString();
  }
  return QFileInfo(link.symLinkTarget()).fileName();
}

bool IsPortMapEntry(const TPortSources &sources, const QString &portName) {
  return !sources.portMapFolder.isEmpty() &&
         QFileInfo(QDir(sources.portMapFolder).filePath(portName)).isSymLink();
}

}  // namespace

QString AdapterIdentity(const TPortSources &sources, TPortControl &port, const QString &portName) {
  if (const QString socket = port.UsbSocketOf(portName); !socket.isEmpty()) {
    return QString(kSocketPrefix) + socket;
  }
  if (portName.isEmpty() || sources.serialByIdFolder.isEmpty() ||
      IsPortMapEntry(sources, portName)) {
    return QString();  // a port map entry is followed by its own name
  }
  const QFileInfoList links =
      QDir(sources.serialByIdFolder)
          .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo &link : links) {
    if (LinkedTtyName(link) == portName) {
      return link.fileName();
    }
  }
  return QString();
}

QString PortNameOfAdapter(const TPortSources &sources, TPortControl &port,
                          const QString &identity) {
  if (identity.startsWith(kSocketPrefix)) {
    return port.UsbPortNameAt(identity.mid(kSocketPrefix.size()));
  }
  if (identity.isEmpty() || sources.serialByIdFolder.isEmpty() || identity.contains('/')) {
    return QString();
  }
  return LinkedTtyName(QFileInfo(QDir(sources.serialByIdFolder).filePath(identity)));
}
