// A fake program with automation on, for sorvanel-ctl's tests:
//   fake_panel_service NAME LOG_FILE [--port P] [--settings F] [--quit-after-taps N]
// Owns org.sorvanel.Sorvanel.NAME, logs every key to LOG_FILE, prints "ready"
// once it is on the bus.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <cstdio>

#include "fake_panel_service.h"

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() < 3) {
    std::fputs("usage: fake_panel_service NAME LOG_FILE [options]\n", stderr);
    return 2;
  }
  TFakePanelService::TOptions options;
  for (qsizetype i = 3; i + 1 < arguments.size(); i += 2) {
    if (arguments[i] == QLatin1String("--port")) {
      options.port = arguments[i + 1];
    } else if (arguments[i] == QLatin1String("--settings")) {
      options.settingsFile = arguments[i + 1];
    } else if (arguments[i] == QLatin1String("--quit-after-taps")) {
      options.quitAfterTaps = arguments[i + 1].toInt();
    }
  }
  QFile log(arguments[2]);
  if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
    return 1;
  }
  TFakePanelService service(
      options, [&log](const QString &line) { log.write((line + QLatin1Char('\n')).toUtf8()); });
  QObject::connect(&service, &TFakePanelService::TapsDone, &app, &QCoreApplication::quit);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/org/sorvanel/Panel"), &service,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                              QDBusConnection::ExportAllProperties) ||
      !bus.registerService(QStringLiteral("org.sorvanel.Sorvanel.") + arguments[1])) {
    std::fputs("fake_panel_service: cannot register on the session bus\n", stderr);
    return 1;
  }
  std::puts("ready");
  std::fflush(stdout);
  return app.exec();
}
