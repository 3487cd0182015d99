#include "port_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "port_map_folder.h"

namespace {

constexpr int kFallbackComCount = 5;

bool IsPlainFileName(const QString &name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// A ttyS node exists for every possible UART; type 0 means none is fitted.
bool HasUnknownUart(const QString &ttyFolder) {
  QFile type(ttyFolder + QStringLiteral("/type"));
  if (!type.open(QIODevice::ReadOnly)) {
    return false;
  }
  return type.readAll().trimmed() == "0";
}

QStringList HardwareTtyNames(const QString &ttyClassFolder) {
  QStringList names;
  const QDir folder(ttyClassFolder);
  const QStringList entries =
      folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
  for (const QString &name : entries) {
    const QString ttyFolder = folder.filePath(name);
    if (!QFileInfo::exists(ttyFolder + QStringLiteral("/device"))) {
      continue;  // virtual terminals, ptys and the like
    }
    if (name.startsWith(QLatin1String("ttyS")) && HasUnknownUart(ttyFolder)) {
      continue;
    }
    names.append(name);
  }
  return names;
}

// Entries whose target is gone (a virtual converter that has ended) are left
// out: they cannot be opened.
QStringList PortMapNames(const QString &portMapFolder) {
  QStringList names;
  if (portMapFolder.isEmpty()) {
    return names;
  }
  const QDir folder(portMapFolder);
  const QFileInfoList entries =
      folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo &entry : entries) {
    if (entry.isSymLink() && entry.exists() && !entry.fileName().startsWith(QLatin1Char('.'))) {
      names.append(entry.fileName());
    }
  }
  return names;
}

bool LessIgnoringCase(const QString &a, const QString &b) {
  const int order = QString::compare(a, b, Qt::CaseInsensitive);
  return order != 0 ? order < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

// COMn with n >= 1, no leading zero: the index n - 1 of its ttyS node.
std::optional<int> ComPortIndex(const QString &name) {
  static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]{0,3})$"));
  const QRegularExpressionMatch match = pattern.match(name);
  if (!match.hasMatch()) {
    return std::nullopt;
  }
  return match.captured(1).toInt() - 1;
}

}  // namespace

TPortSources TPortSources::System() {
  TPortSources sources;
  sources.portMapFolder = UserRuntimeFolders().portMap;
  return sources;
}

QStringList FindSerialPortNames(const TPortSources &sources) {
  QStringList names = HardwareTtyNames(sources.ttyClassFolder);
  names.append(PortMapNames(sources.portMapFolder));
  return SortedPortNames(names);
}

QStringList SortedPortNames(QStringList names) {
  std::sort(names.begin(), names.end(), LessIgnoringCase);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

QStringList BuildPortList(const QStringList &serialNames, std::optional<uint32_t> usbCount,
                          bool withSeparator) {
  QStringList list = serialNames.mid(0, kMaxPortEntries);
  if (!list.isEmpty() && withSeparator) {
    list.append(kPortSeparator);
  }
  const uint32_t usbRoom =
      static_cast<uint32_t>(kMaxPortEntries - std::min<qsizetype>(list.size(), kMaxPortEntries));
  const uint32_t usbEntries = std::min(usbCount.value_or(0), usbRoom);
  for (uint32_t k = 1; k <= usbEntries; ++k) {
    list.append(QStringLiteral("USB%1").arg(k));
  }
  if (list.isEmpty()) {
    for (int k = 1; k <= kFallbackComCount; ++k) {
      list.append(QStringLiteral("COM%1").arg(k));
    }
  }
  return list.mid(0, kMaxPortEntries);
}

QString ResolvePortDevice(const TPortSources &sources, const QString &name) {
  if (!IsPlainFileName(name)) {
    return QString();
  }
  if (!sources.portMapFolder.isEmpty()) {
    const QFileInfo entry(QDir(sources.portMapFolder).filePath(name));
    if (entry.isSymLink()) {
      return entry.symLinkTarget();
    }
  }
  const QString device = QDir(sources.deviceFolder).filePath(name);
  if (QFileInfo::exists(QDir(sources.ttyClassFolder).filePath(name))) {
    return device;
  }
  if (const std::optional<int> index = ComPortIndex(name)) {
    return QDir(sources.deviceFolder).filePath(QStringLiteral("ttyS%1").arg(*index));
  }
  return device;
}
