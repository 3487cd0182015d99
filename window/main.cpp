// The program's entry: the command line, the program's files, the main
// window and the about box, then the event loop until the main window closes.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <exception>

#include "about_box.h"
#include "application.h"
#include "automation_switch.h"
#include "close_on_signals.h"
#include "command_line.h"
#include "file_locations.h"
#include "line_capture.h"
#include "main_window.h"
#include "message_box_presenter.h"
#include "window_resources.h"

namespace {

QIcon ProgramIcon() {
  QIcon icon;
  for (const char *name : {"icon_16.png", "icon_32.png", "icon_64.png"}) {
    icon.addFile(QStringLiteral(":/pictures/") + QString::fromLatin1(name));
  }
  return icon;
}

}  // namespace

int main(int argc, char *argv[]) {
  // A signal from the first moment on runs the closing steps.
  CatchTerminationSignals();
  // Before the window system starts: --help, --version and a bad command
  // line need no display and open no window.
  const TCommandLine commandLine = ParseCommandLine(argc, argv);
  if (const int exitCode = ReportCommandLine(commandLine); exitCode >= 0) {
    return exitCode;
  }
  // Files are named only by names that are what the system gave: never another file.
  QString problem;
  const TFileLocations files =
      ChooseFiles(LocateFiles(ProgramPathOfThisProcess(), FolderVariablesOfThisProcess(), &problem),
                  commandLine.options.settingsFile, commandLine.options.memoryFile, &problem);
  if (files.settingsFile.isEmpty() || files.memoryFile.isEmpty()) {
    std::fprintf(stderr, "sorvanel: %s\n", problem.toLocal8Bit().constData());
    return 1;
  }

  // Positions and sizes are in pixels on every screen.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  TApplication application(argc, argv);
  TCloseOnSignals closeOnSignals;
  TMessageBoxPresenter presenter;
  try {
    QApplication::setApplicationName(QStringLiteral("Sorvanel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("hu.sorvanel.Sorvanel"));
    InitWindowResources();
    QApplication::setWindowIcon(ProgramIcon());

    SetMessageDialogPresenter(&presenter);

    CreateFileFolders(files);
    TForm_Sorvanel mainWindow(files, commandLine.options.port);
    TForm_AboutBox aboutBox(&mainWindow);
    mainWindow.SetAboutBox(&aboutBox);
    closeOnSignals.SetWindow(&mainWindow);
    if (!commandLine.options.captureFile.isEmpty()) {
      mainWindow.Capture().Start(commandLine.options.captureFile);  // a failure is reported
    }
    mainWindow.show();
    if (commandLine.options.monitor) {
      mainWindow.Menu_LineMonitorClick();
    }
    if (commandLine.options.automation) {
      mainWindow.Automation().TurnOn();  // a failure is reported
    }
    QApplication::exec();
  } catch (const std::exception &error) {
    ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowException(QString());
  }
  SetMessageDialogPresenter(nullptr);
  return 0;
}
