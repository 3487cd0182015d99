// Where the program keeps its files.
//
// Run from its build folder, the program keeps them beside itself: the settings file is the
// program's path with ".ini", the default memory file Sorvanel.mem in its folder, the manual
// help/sorvanel.html. Installed, it never writes beside itself: the settings file is
// $XDG_CONFIG_HOME/sorvanel/sorvanel.ini, the default memory file
// $XDG_DATA_HOME/sorvanel/Sorvanel.mem, and the manual is read from the program's data folder.
//
// The program counts as installed when its data folder exists: the folder the install puts
// beside the program's folder (../share/sorvanel seen from /usr/bin, compiled in from the
// configured install folders, so an install under any prefix or DESTDIR finds it). A build
// folder has none.
#pragma once

#include <QString>

struct TFileLocations {
  QString settingsFile;
  QString memoryFile;  // the default memory file
  QString helpFile;    // the user's manual
};

// The files beside the program at 'programPath'.
TFileLocations FilesBesideProgram(const QString &programPath);

// The installed program's data folder, or an empty text when 'programPath' is not installed.
QString InstalledDataFolder(const QString &programPath);

// A base folder of the user by the XDG rules: the variable's value when it is an absolute path,
// otherwise 'home' followed by 'fallback' (an unset, empty or relative value is ignored).
QString XdgBaseFolder(const QString &value, const QString &home, const QString &fallback);

// The installed program's files, from its data folder and the user's XDG base folders.
TFileLocations InstalledFiles(const QString &dataFolder, const QString &configHome,
                              const QString &dataHome);

// The files of the program at 'programPath', installed or not, with the XDG variables and
// the home folder of this process.
TFileLocations LocateFiles(const QString &programPath);

// The folder variables the installed program's files come from, as the system gives them
// (bytes; empty when unset).
struct TFolderVariables {
  QByteArray home;
  QByteArray configHome;  // $XDG_CONFIG_HOME
  QByteArray dataHome;    // $XDG_DATA_HOME
};
TFolderVariables FolderVariablesOfThisProcess();

// LocateFiles from the names as the system gives them: the program's path ('programPath',
// e.g. the link /proc/self/exe) and 'variables'. Only names that are valid UTF-8 are used: a
// file whose name would come from other bytes is left empty (as text, its name would be
// another file's), and 'problem' says which name it was. Needs no application object.
TFileLocations LocateFiles(const QByteArray &programPath, const TFolderVariables &variables,
                           QString *problem);

// The path of this process's program as the system gives it (bytes).
QByteArray ProgramPathOfThisProcess();

// The files chosen on the command line replace the located ones. A settings file chosen
// without a memory file brings its own default memory file: its path with ".mem", so that
// programs started with their own settings files never share a memory file. A relative
// path is made absolute with the current folder; when that folder's path is not valid UTF-8
// the file is left empty and 'problem' (when given) says why.
TFileLocations ChooseFiles(TFileLocations located, const QString &settingsFile,
                           const QString &memoryFile, QString *problem = nullptr);

// Creates the folders of the settings file and of the memory file where they are missing,
// readable by the user alone. Returns false when one cannot be made; saving into it will then
// report the file as not writable.
bool CreateFileFolders(const TFileLocations &files);
