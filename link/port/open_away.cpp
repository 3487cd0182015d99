#include "open_away.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <thread>

TOpenFailure OpenAway(const std::function<TOpenFailure()> &open) {
  QCoreApplication *application = QCoreApplication::instance();
  if (application == nullptr || QThread::currentThread() != application->thread()) {
    return open();
  }
  TOpenFailure result;
  QEventLoop loop;
  std::thread helper([&] {
    result = open();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
  helper.join();
  return result;
}
