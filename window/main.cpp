// The program's entry: the main window and the about box, then the event
// loop until the main window closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <exception>

#include "about_box.h"
#include "close_on_signals.h"
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

void ShowException(const QString &message) {
  QMessageBox::critical(nullptr, QStringLiteral("Sorvanel"), message);
}

}  // namespace

int main(int argc, char *argv[]) {
  // Positions and sizes are in pixels on every screen.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication application(argc, argv);
  try {
    QApplication::setApplicationName(QStringLiteral("Sorvanel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sorvanel"));
    InitWindowResources();
    QApplication::setWindowIcon(ProgramIcon());

    QCommandLineParser parser;
    const QCommandLineOption captureOption(QStringLiteral("capture"),
                                           QStringLiteral("Write what passes on the line to FILE."),
                                           QStringLiteral("FILE"));
    const QCommandLineOption monitorOption(QStringLiteral("monitor"),
                                           QStringLiteral("Open the line monitor at start."));
    parser.addOptions({captureOption, monitorOption});
    parser.process(application);

    TMessageBoxPresenter presenter;
    SetMessageDialogPresenter(&presenter);

    TForm_Sorvanel mainWindow;
    TForm_AboutBox aboutBox(&mainWindow);
    mainWindow.SetAboutBox(&aboutBox);
    CloseOnTerminationSignals(&mainWindow);
    if (parser.isSet(captureOption)) {
      mainWindow.Capture().Start(parser.value(captureOption));  // a failure is reported
    }
    mainWindow.show();
    if (parser.isSet(monitorOption)) {
      mainWindow.Menu_LineMonitorClick();
    }
    QApplication::exec();
    SetMessageDialogPresenter(nullptr);
  } catch (const std::exception &error) {
    ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowException(QString());
  }
  return 0;
}
