// The program's application object. An exception that escapes an event
// handler is shown to the user as an error and the program goes on: it never
// leaves the event loop, so the closing steps (and their saves) still run.
#pragma once

#include <QApplication>
#include <QString>

class TApplication : public QApplication {
  Q_OBJECT

 public:
  using QApplication::QApplication;

  bool notify(QObject *receiver, QEvent *event) override;
};

// Shows an exception's message through the message-dialog seam: the error
// icon, caption "Sorvanel", the message (empty for an exception of unknown
// kind) and a single OK button.
void ShowException(const QString &message);
