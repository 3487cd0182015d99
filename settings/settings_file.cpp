#include "settings_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "atomic_file.h"
#include "ini_file.h"

namespace {

const QString kSection = QString::fromLatin1(kSettingsSection);

int16_t ClampPosition(int value) {
  return static_cast<int16_t>(std::clamp(value, 0, 32767));
}

}  // namespace

QString SettingsFilePath(const QString &programPath) {
  const qsizetype nameStart = programPath.lastIndexOf(u'/') + 1;
  const qsizetype dot = programPath.lastIndexOf(u'.');
  // A dot that starts the file name (a hidden file) begins no extension.
  if (dot <= nameStart) {
    return programPath + QStringLiteral(".ini");
  }
  return programPath.left(dot) + QStringLiteral(".ini");
}

TProgramSettings ParseSettings(const QByteArray &fileText) {
  const TIniFile file = TIniFile::Parse(fileText);
  const TProgramSettings defaults;
  TProgramSettings settings;
  settings.Port = file.ReadString(kSection, QStringLiteral("Port"), defaults.Port);
  settings.FindFreq = file.ReadBool(kSection, QStringLiteral("FindFreq"), defaults.FindFreq);
  settings.AlwaysOnTop =
      file.ReadBool(kSection, QStringLiteral("AlwaysOnTop"), defaults.AlwaysOnTop);
  settings.PTConnect = file.ReadBool(kSection, QStringLiteral("PTConnect"), defaults.PTConnect);
  settings.PTDisconnect =
      file.ReadBool(kSection, QStringLiteral("PTDisconnect"), defaults.PTDisconnect);

  const int language = file.ReadInteger(kSection, QStringLiteral("Language"), defaults.Language);
  settings.Language = language == kLanguageEnglish ? kLanguageEnglish : kLanguageHungarian;
  const int size = file.ReadInteger(kSection, QStringLiteral("Size"), defaults.Size);
  settings.Size = static_cast<uint8_t>(std::clamp(size, 0, 1));
  settings.Left = ClampPosition(file.ReadInteger(kSection, QStringLiteral("Left"), defaults.Left));
  settings.Top = ClampPosition(file.ReadInteger(kSection, QStringLiteral("Top"), defaults.Top));
  settings.NetworkPorts = ReadNetworkPorts(file, &settings.RefusedNetworkPorts);
  return settings;
}

TProgramSettings ReadSettingsFile(const QString &path) {
  // Only a regular file is opened: the open of a FIFO would wait for a writer.
  if (!QFileInfo(path).isFile()) {
    return TProgramSettings{};
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return TProgramSettings{};
  }
  return ParseSettings(file.readAll());
}

QByteArray MergeSettings(const QByteArray &fileText, const TProgramSettings &settings) {
  TIniFile file = TIniFile::Parse(fileText);
  file.EraseSection(kSection);
  file.WriteString(kSection, QStringLiteral("Port"), settings.FindFreq ? QString() : settings.Port);
  file.WriteBool(kSection, QStringLiteral("FindFreq"), settings.FindFreq);
  file.WriteInteger(kSection, QStringLiteral("Size"), settings.Size);
  file.WriteBool(kSection, QStringLiteral("AlwaysOnTop"), settings.AlwaysOnTop);
  file.WriteInteger(kSection, QStringLiteral("Left"), settings.Left);
  file.WriteInteger(kSection, QStringLiteral("Top"), settings.Top);
  file.WriteBool(kSection, QStringLiteral("PTConnect"), settings.PTConnect);
  file.WriteBool(kSection, QStringLiteral("PTDisconnect"), settings.PTDisconnect);
  file.WriteInteger(kSection, QStringLiteral("Language"), settings.Language);
  WriteNetworkPorts(file, settings.NetworkPorts);
  return file.Serialize();
}

bool WriteSettingsFile(const QString &path, const TProgramSettings &settings) {
  if (IsExistingFileReadOnly(path)) {
    return false;
  }
  QByteArray oldText;
  QFile file(path);
  if (file.exists()) {
    // Keeping the rest of the file requires reading it; an unreadable file
    // is not overwritten blindly.
    if (!file.open(QIODevice::ReadOnly)) {
      return false;
    }
    oldText = file.readAll();
    if (file.error() != QFileDevice::NoError) {
      return false;
    }
    file.close();
  }
  return WriteFileAtomically(path, MergeSettings(oldText, settings));
}
