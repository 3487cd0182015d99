// The program's command line: -h or --help, --version, --port NAME, --settings FILE, --memory FILE,
// --capture FILE, --monitor, --automation.
//
// It is read before the window system starts, so --help, --version and a bad command line work
// without a display and open no window. To add an option: declare it in the option table of
// command_line.cpp and give it a field here.
#pragma once

#include <QString>
#include <QStringList>

struct TCommandLineOptions {
  QString port;             // opened at start instead of the saved port
  QString settingsFile;     // instead of the located settings file
  QString memoryFile;       // instead of the located default memory file
  QString captureFile;      // what passes on the line is written there from the start
  bool monitor = false;     // the line monitor opens at start
  bool automation = false;  // the panel is on the session bus from the start
};

enum class TCommandLineAction {
  Run,          // start the program with the options
  ShowHelp,     // print the usage on standard output, exit 0
  ShowVersion,  // print the version on standard output, exit 0
  Refuse,       // print the error and the usage on standard error, exit 2
};

struct TCommandLine {
  TCommandLineAction action = TCommandLineAction::Run;
  TCommandLineOptions options;
  QString error;  // for Refuse: what was wrong
};

inline constexpr int kBadCommandLineExitCode = 2;

// 'arguments' as main() gets them, the program name first.
TCommandLine ParseCommandLine(const QStringList &arguments);
// The same from main()'s own arguments. An argument that is not valid UTF-8
// is refused, naming it: as text it would name another file or port.
TCommandLine ParseCommandLine(int argc, const char *const argv[]);

QString UsageText();
// "sorvanel 9.1.2"
QString VersionText();

// Prints what the action asks for and gives the exit code, or -1 for Run.
int ReportCommandLine(const TCommandLine &commandLine);
