#include "bus_client.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusReply>
#include <QSocketNotifier>
#include <chrono>
#include <cstdio>

#include "bus_names.h"
#include "played_converter.h"

namespace {

constexpr int kCallTimeoutMs = 10000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

QDBusMessage PanelCall(const QString &service, const char *method) {
  return QDBusMessage::createMethodCall(service, QString::fromLatin1(kPanelObjectPath),
                                        QString::fromLatin1(kPanelInterface),
                                        QString::fromLatin1(method));
}

}  // namespace

TBusClient::TBusClient(QString service, QString keyName)
    : bus_(QDBusConnection::sessionBus()),
      service_(std::move(service)),
      keyName_(std::move(keyName)) {}

bool TBusClient::Listen() {
  if (!bus_.connect(service_, QString::fromLatin1(kPanelObjectPath),
                    QString::fromLatin1(kPanelInterface), QStringLiteral("DisplayChanged"), this,
                    SLOT(OnDisplayChanged(QStringList)))) {
    std::fprintf(stderr, "client: cannot listen to DisplayChanged\n");
    return false;
  }
  const QDBusReply<QStringList> lines =
      bus_.call(PanelCall(service_, "Lines"), QDBus::Block, kCallTimeoutMs);
  if (!lines.isValid()) {
    std::fprintf(stderr, "client: Lines failed: %s\n", qPrintable(lines.error().message()));
    return false;
  }
  return true;
}

bool TBusClient::Command(const QByteArray &line) {
  if (line == "press") {
    return Press();
  }
  if (line == "ping") {
    return Ping();
  }
  if (line == "quit") {
    Report();
    QCoreApplication::quit();
    return true;
  }
  std::fprintf(stderr, "client: unknown command %s\n", line.constData());
  return false;
}

bool TBusClient::Press() {
  QDBusMessage call = PanelCall(service_, "Press");
  call << keyName_;
  const int64_t before = NowNs();
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    std::fprintf(stderr, "client: Press failed: %s\n", qPrintable(reply.errorMessage()));
    return false;
  }
  std::printf("pressed %lld\n", static_cast<long long>(before));
  std::fflush(stdout);
  return true;
}

bool TBusClient::Ping() {
  const QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
  const int64_t before = NowNs();
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
  const int64_t after = NowNs();
  if (reply.type() != QDBusMessage::ReplyMessage) {
    std::fprintf(stderr, "client: GetId failed: %s\n", qPrintable(reply.errorMessage()));
    return false;
  }
  std::printf("ping %lld\n", static_cast<long long>(after - before));
  std::fflush(stdout);
  return true;
}

void TBusClient::OnDisplayChanged(const QStringList &lines) {
  const int64_t arrived = NowNs();
  if (const std::optional<uint32_t> count = CountOnLine(lines.value(1))) {
    arrivals_.emplace_back(*count, arrived);
  }
}

void TBusClient::Report() {
  for (const auto &[count, arrived] : arrivals_) {
    std::printf("display %u %lld\n", count, static_cast<long long>(arrived));
  }
  std::printf("done\n");
  std::fflush(stdout);
}

int RunBusClient(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "client: needs the service and key names\n");
    return 2;
  }
  TBusClient client(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  if (!client.Listen()) {
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  int status = 0;
  QByteArray pending;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {  // the bench is gone
      status = 1;
      QCoreApplication::quit();
      return;
    }
    pending.append(buffer, got);
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
      const QByteArray line = pending.left(end).trimmed();
      pending.remove(0, end + 1);
      if (!client.Command(line)) {
        status = 1;
        QCoreApplication::quit();
        return;
      }
    }
  });
  const int loopStatus = QCoreApplication::exec();
  return status != 0 ? status : loopStatus;
}
