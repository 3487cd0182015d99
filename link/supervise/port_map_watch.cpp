#include "port_map_watch.h"

#include <QDir>
#include <QFileInfo>

TPortMapWatch::TPortMapWatch(const QString &portMapFolder)
    : portMapFolder_(portMapFolder.isEmpty() ? QString() : QDir::cleanPath(portMapFolder)) {
  QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, &watcher_,
                   [this] { FolderChanged(); });
  Arm();
}

QString TPortMapWatch::WatchedFolder() const {
  const QStringList folders = watcher_.directories();
  return folders.isEmpty() ? QString() : folders.first();
}

void TPortMapWatch::Arm() {
  if (portMapFolder_.isEmpty()) {
    return;
  }
  QString folder = portMapFolder_;
  while (!QFileInfo(folder).isDir() && folder != QDir::rootPath()) {
    folder = QFileInfo(folder).absolutePath();
  }
  if (WatchedFolder() == folder) {
    return;
  }
  if (!watcher_.directories().isEmpty()) {
    watcher_.removePaths(watcher_.directories());
  }
  watcher_.addPath(folder);
}

void TPortMapWatch::FolderChanged() {
  // The port map folder may have been made (or removed) meanwhile.
  Arm();
  ReportPortsChanged();
}
