#include "application.h"

#include <exception>

#include "message_dialog.h"

bool TApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &error) {
    ShowException(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowException(QString());
  }
  return false;
}

void ShowException(const QString &message) {
  Luvamsg_ShowDialog(kMessageDialogIconError, QStringLiteral("Sorvanel"), message, QString(),
                     kMessageDialogButtonOk);
}
