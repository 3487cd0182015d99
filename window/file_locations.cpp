#include "file_locations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <optional>

#include "file_name.h"
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

QString NotUtf8Problem(const QByteArray &name, const char *what) {
  return QStringLiteral(
             "%1 '%2' is not valid UTF-8 (each byte that is not shows as \\xHH), so "
             "the program cannot name its files there.")
      .arg(QString::fromLatin1(what), PrintableFileName(name));
}

// 'path' made absolute with the current folder; empty, with the problem told, when the
// current folder's path is not valid UTF-8 (as text it would be another folder).
QString AbsolutePath(const QString &path, QString *problem) {
  if (!QDir::isAbsolutePath(path)) {
    QByteArray folder(4096, Qt::Uninitialized);
    const char *current = ::getcwd(folder.data(), static_cast<size_t>(folder.size()));
    const QByteArray native = current != nullptr ? QByteArray(current) : QByteArray();
    if (!DecodeFileName(native)) {
      if (problem != nullptr) {
        *problem = NotUtf8Problem(native, "the current folder");
      }
      return QString();
    }
  }
  return QFileInfo(path).absoluteFilePath();
}

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
  QString problem;
  return LocateFiles(QFile::encodeName(programPath), FolderVariablesOfThisProcess(), &problem);
}

TFileLocations ChooseFiles(TFileLocations located, const QString &settingsFile,
                           const QString &memoryFile, QString *problem) {
  if (!settingsFile.isEmpty()) {
    located.settingsFile = AbsolutePath(settingsFile, problem);
    located.memoryFile = located.settingsFile.isEmpty()
                             ? QString()
                             : WithSuffix(located.settingsFile, QStringLiteral(".mem"));
  }
  if (!memoryFile.isEmpty()) {
    located.memoryFile = AbsolutePath(memoryFile, problem);
  }
  return located;
}

TFolderVariables FolderVariablesOfThisProcess() {
  return {qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME")};
}

QByteArray ProgramPathOfThisProcess() {
  QByteArray path(4096, Qt::Uninitialized);
  const ssize_t length =
      ::readlink("/proc/self/exe", path.data(), static_cast<size_t>(path.size()));
  path.truncate(length > 0 && length < path.size() ? length : 0);
  return path;
}

TFileLocations LocateFiles(const QByteArray &programPath, const TFolderVariables &variables,
                           QString *problem) {
  // The text of 'name', or nothing with the problem told.
  const auto decode = [problem](const QByteArray &name, const char *what) {
    std::optional<QString> text = DecodeFileName(name);
    if (!text) {
      *problem = NotUtf8Problem(name, what);
    }
    return text;
  };
  const std::optional<QString> program = decode(programPath, "the program's path");
  if (!program) {
    return {};
  }
  const QString dataFolder = InstalledDataFolder(*program);
  if (dataFolder.isEmpty()) {
    return FilesBesideProgram(*program);
  }
  // A variable that is not an absolute path does not count (XdgBaseFolder); its files are
  // then in the home folder.
  const auto base = [&](const QByteArray &value, const char *what,
                        const QString &fallback) -> std::optional<QString> {
    if (value.startsWith('/')) {
      const std::optional<QString> text = decode(value, what);
      return text ? std::optional(QDir::cleanPath(*text)) : std::nullopt;
    }
    const std::optional<QString> home = variables.home.isEmpty() ? std::optional(QDir::homePath())
                                                                 : decode(variables.home, "$HOME");
    return home ? std::optional(XdgBaseFolder(QString(), *home, fallback)) : std::nullopt;
  };
  const std::optional<QString> configHome =
      base(variables.configHome, "$XDG_CONFIG_HOME", QStringLiteral(".config"));
  const std::optional<QString> dataHome =
      base(variables.dataHome, "$XDG_DATA_HOME", QStringLiteral(".local/share"));
  TFileLocations files =
      InstalledFiles(dataFolder, configHome.value_or(QString()), dataHome.value_or(QString()));
  if (!configHome) {
    files.settingsFile.clear();
  }
  if (!dataHome) {
    files.memoryFile.clear();
  }
  return files;
}

bool CreateFileFolders(const TFileLocations &files) {
  bool made = true;
  for (const QString &file : {files.settingsFile, files.memoryFile}) {
    made &= MakeFolder(QFileInfo(file).path());
  }
  return made;
}
