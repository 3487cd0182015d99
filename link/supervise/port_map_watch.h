// Port map entries coming and going: a watch on the port map folder. An entry
// added, removed or replaced (a virtual converter started again registers its
// new tty under the same name) is reported. While the folder does not exist
// yet, its nearest existing parent is watched until it does.
#pragma once

#include <QFileSystemWatcher>
#include <QString>

#include "hot_plug_source.h"

class TPortMapWatch : public THotPlugSource {
 public:
  // An empty folder name watches nothing.
  explicit TPortMapWatch(const QString &portMapFolder);

  // The folder watched now: the port map folder, or a parent of it.
  QString WatchedFolder() const;

 private:
  void Arm();
  void FolderChanged();

  QString portMapFolder_;
  QFileSystemWatcher watcher_;
};
