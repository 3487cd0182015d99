// Where the user's port map lives: the folder "sorvanel/ports" in the user's
// runtime folder ($XDG_RUNTIME_DIR, or Qt's fallback when it is not set). The
// program lists its entries as ports; the virtual converter registers itself
// there, keeping its own files beside it in the program's runtime folder.
#pragma once

#include <QStandardPaths>
#include <QString>

struct TRuntimeFolders {
  QString runtime;  // the user's runtime folder
  QString program;  // the program's folder in it
  QString portMap;  // the port map folder in that
};

// All empty when the system gives no runtime folder.
inline TRuntimeFolders UserRuntimeFolders() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) {
    return {};
  }
  const QString program = runtime + QStringLiteral("/sorvanel");
  return {runtime, program, program + QStringLiteral("/ports")};
}
