// The program's entry: the main window and the about box, then the event
// loop until the main window closes.
#include <QApplication>
#include <QIcon>
#include <exception>

#include "about_box.h"
#include "application.h"
#include "close_on_signals.h"
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
  // Positions and sizes are in pixels on every screen.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  TApplication application(argc, argv);
  TCloseOnSignals closeOnSignals;
  TMessageBoxPresenter presenter;
  try {
    QApplication::setApplicationName(QStringLiteral("Sorvanel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Sorvanel"));
    InitWindowResources();
    QApplication::setWindowIcon(ProgramIcon());

    SetMessageDialogPresenter(&presenter);

    TForm_Sorvanel mainWindow;
    TForm_AboutBox aboutBox(&mainWindow);
    mainWindow.SetAboutBox(&aboutBox);
    closeOnSignals.SetWindow(&mainWindow);
    mainWindow.show();
    QApplication::exec();
  } catch (const std::exception &error) {
    ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowException(QString());
  }
  SetMessageDialogPresenter(nullptr);
  return 0;
}
