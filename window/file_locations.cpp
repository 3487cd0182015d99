#include "file_locations.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>

#include "memory_file.h"
#include "settings_file.h"

#ifndef SORVANEL_DATA_FROM_PROGRAM
#error \
    "SORVANEL_DATA_FROM_PROGRAM (the data folder seen from the program) is defined by window/CMakeLists.txt"
#endif

namespace {

constexpr char kFolderName[] = "sorvanel";
constexpr char kSettingsFileName[] = "sorvanel.ini";
constexpr char kHelpFile[] = "help/sorvanel.html";

QString WithSuffix(const QString &path, const QString &suffix) {
  const QFileInfo info(path);
  return info.dir().filePath(info.completeBaseName() + suffix);
}

// mkdir -p with mode 0700 for the folders it makes (the XDG rule for a missing base folder).
bool MakeFolder(const QString &folder) {
  const QString absolute = QDir::cleanPath(QDir(folder).absolutePath());
  if (QFileInfo(absolute).isDir()) {
    return true;
  }
  const QString parent = QFileInfo(absolute).path();
  if (parent != absolute && !MakeFolder(parent)) {
    return false;
  }
  return ::mkdir(QFile::encodeName(absolute).constData(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

TFileLocations FilesBesideProgram(const QString &programPath) {
  const QString folder = QFileInfo(programPath).absolutePath();
  return {SettingsFilePath(programPath), DefaultMemoryFilePath(folder),
          QDir(folder).filePath(QString::fromLatin1(kHelpFile))};
}

QString InstalledDataFolder(const QString &programPath) {
  const QDir programFolder = QFileInfo(programPath).absoluteDir();
  const QString dataFolder =
      QDir::cleanPath(programFolder.filePath(QStringLiteral(SORVANEL_DATA_FROM_PROGRAM)));
  return QFileInfo(dataFolder).isDir() ? dataFolder : QString();
}

QString XdgBaseFolder(const QString &value, const QString &home, const QString &fallback) {
  if (QDir::isAbsolutePath(value)) {
    return QDir::cleanPath(value);
  }
  return QDir::cleanPath(home + u'/' + fallback);
}

TFileLocations InstalledFiles(const QString &dataFolder, const QString &configHome,
                              const QString &dataHome) {
  const QString folder = QString::fromLatin1(kFolderName);
  return {QDir(configHome).filePath(folder + u'/' + QString::fromLatin1(kSettingsFileName)),
          QDir(dataHome).filePath(folder + u'/' + QString::fromLatin1(kDefaultMemoryFileName)),
          QDir(dataFolder).filePath(QString::fromLatin1(kHelpFile))};
}

TFileLocations LocateFiles(const QString &programPath) {
  const QString dataFolder = InstalledDataFolder(programPath);
  if (dataFolder.isEmpty()) {
    return FilesBesideProgram(programPath);
  }
  const QString home = QDir::homePath();
  return InstalledFiles(
      dataFolder,
      XdgBaseFolder(qEnvironmentVariable("XDG_CONFIG_HOME"), home, QStringLiteral(".config")),
      XdgBaseFolder(qEnvironmentVariable("XDG_DATA_HOME"), home, QStringLiteral(".local/share")));
}

TFileLocations ChooseFiles(TFileLocations located, const QString &settingsFile,
                           const QString &memoryFile) {
  if (!settingsFile.isEmpty()) {
    located.settingsFile = QFileInfo(settingsFile).absoluteFilePath();
    located.memoryFile = WithSuffix(located.settingsFile, QStringLiteral(".mem"));
  }
  if (!memoryFile.isEmpty()) {
    located.memoryFile = QFileInfo(memoryFile).absoluteFilePath();
  }
  return located;
}

bool CreateFileFolders(const TFileLocations &files) {
  bool made = true;
  for (const QString &file : {files.settingsFile, files.memoryFile}) {
    made &= MakeFolder(QFileInfo(file).path());
  }
  return made;
}
