#include "ctl_commands.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <algorithm>

#include "bus_panel.h"
#include "panel_bus_names.h"
#include "recipe_runner.h"

namespace ctl {
namespace {

constexpr int kReadTimeoutMs = 5000;

// The instance names of the programs on the bus, sorted.
QStringList InstanceNames(const QDBusConnection &bus) {
  QStringList names;
  const QDBusReply<QStringList> services = bus.interface()->registeredServiceNames();
  for (const QString &service : services.value()) {
    if (service.startsWith(kServicePrefix)) {
      names << service.mid(kServicePrefix.size());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// All the panel's properties; empty when the program does not answer.
QVariantMap PanelProperties(const QDBusConnection &bus, const QString &service) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      service, kPanelPath, QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("GetAll"));
  call << kPanelInterface;
  const QDBusReply<QVariantMap> reply = bus.call(call, QDBus::Block, kReadTimeoutMs);
  return reply.isValid() ? reply.value() : QVariantMap();
}

void Complain(const TStreams &streams, const QString &message) {
  Print(streams.err, QStringLiteral("sorvanel-ctl: %1\n").arg(message));
}

int GoneWhileReading(const TStreams &streams) {
  Complain(streams, QStringLiteral("the program does not answer (it may have closed)"));
  return kExitNoProgram;
}

}  // namespace

void Print(std::FILE *stream, const QString &text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

int ListPrograms(const QDBusConnection &bus, const TStreams &streams) {
  const QStringList names = InstanceNames(bus);
  if (names.isEmpty()) {
    Complain(streams, QStringLiteral("no Sorvanel with automation on is running"));
    return kExitNoProgram;
  }
  for (const QString &name : names) {
    const QVariantMap properties = PanelProperties(bus, kServicePrefix + name);
    if (properties.isEmpty()) {
      continue;  // closed since it was listed
    }
    Print(streams.out, QStringLiteral("%1\t%2\t%3\n")
                           .arg(name, properties.value(QStringLiteral("Port")).toString(),
                                properties.value(QStringLiteral("SettingsFile")).toString()));
  }
  return kExitDone;
}

QString PickProgram(const QDBusConnection &bus, const QString &instance, const TStreams &streams,
                    int *status) {
  const QStringList names = InstanceNames(bus);
  if (!instance.isEmpty()) {
    if (names.contains(instance)) {
      return kServicePrefix + instance;
    }
    Complain(streams, names.isEmpty()
                          ? QStringLiteral("no program \"%1\": no Sorvanel with automation on "
                                           "is running")
                                .arg(instance)
                          : QStringLiteral("no program \"%1\" (running: %2)")
                                .arg(instance, names.join(QStringLiteral(", "))));
    *status = kExitNoProgram;
    return {};
  }
  if (names.size() == 1) {
    return kServicePrefix + names.front();
  }
  if (names.isEmpty()) {
    Complain(streams, QStringLiteral("no Sorvanel with automation on is running (start it with "
                                     "--automation or switch automation on in its menu)"));
    *status = kExitNoProgram;
  } else {
    Complain(streams,
             QStringLiteral("%1 programs are running (%2): choose one with --instance NAME")
                 .arg(QString::number(names.size()), names.join(QStringLiteral(", "))));
    *status = kExitBadUsage;
  }
  return {};
}

int ReadLines(const QDBusConnection &bus, const QString &service, const TStreams &streams) {
  const QDBusMessage call =
      QDBusMessage::createMethodCall(service, kPanelPath, kPanelInterface, QStringLiteral("Lines"));
  const QDBusReply<QStringList> reply = bus.call(call, QDBus::Block, kReadTimeoutMs);
  if (!reply.isValid()) {
    return GoneWhileReading(streams);
  }
  for (const QString &line : reply.value()) {
    Print(streams.out, line + QLatin1Char('\n'));
  }
  return kExitDone;
}

int ReadLeds(const QDBusConnection &bus, const QString &service, const TStreams &streams) {
  const QVariantMap properties = PanelProperties(bus, service);
  if (properties.isEmpty()) {
    return GoneWhileReading(streams);
  }
  const auto bit = [&properties](const char *name) {
    return properties.value(QLatin1String(name)).toBool() ? QLatin1Char('1') : QLatin1Char('0');
  };
  Print(streams.out, QStringLiteral("error=%1 run=%2\n").arg(bit("ErrorLed")).arg(bit("RunLed")));
  return kExitDone;
}

int RunSteps(const QDBusConnection &bus, const QString &service, TRecipe recipe,
             const QString &where, const TStreams &streams) {
  TBusPanel panel(bus, service);
  if (!panel.Attach()) {
    return GoneWhileReading(streams);
  }
  TRecipeRunner runner(panel);
  QEventLoop loop;
  TRecipeOutcome outcome;
  QObject::connect(&runner, &TRecipeRunner::Finished, &loop,
                   [&outcome, &loop](const TRecipeOutcome &finished) {
                     outcome = finished;
                     loop.quit();
                   });
  runner.Start(std::move(recipe));
  loop.exec();
  if (outcome.status != TRecipeStatus::Done) {
    Complain(streams, QStringLiteral("%1: %2").arg(where, DescribeRecipeOutcome(outcome)));
  }
  return static_cast<int>(outcome.status);
}

}  // namespace ctl
