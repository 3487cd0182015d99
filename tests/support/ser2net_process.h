// Test helpers for network ports: a free loopback port, a ser2net of the
// test's own that serves a pseudo-terminal on 127.0.0.1, and a fake server
// that answers a connection as the test tells it.
//
//   TPtyLine line;
//   TSer2Net server(line.SlavePath());       // rfc2217 and raw accepters
//   port.SetNetworkPorts({{"plant", server.Rfc2217Url()}});
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

// A listening socket on 127.0.0.1 with a port the kernel chose.
class TLoopbackListener {
 public:
  TLoopbackListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
      throw std::runtime_error("no loopback port");
    }
    port_ = ntohs(address.sin_port);
  }
  ~TLoopbackListener() { Close(); }
  TLoopbackListener(const TLoopbackListener &) = delete;
  TLoopbackListener &operator=(const TLoopbackListener &) = delete;

  uint16_t Port() const { return port_; }
  int Fd() const { return fd_; }
  void Close() {
    if (fd_ >= 0) {
      close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A port number that was free a moment ago: the listener that held it is
// closed again, for a server that binds it itself.
inline uint16_t FreeLoopbackPort() {
  TLoopbackListener listener;
  return listener.Port();
}

// ser2net with two accepters for one pseudo-terminal: Telnet with RFC 2217
// and raw TCP, both inside TLS when a key and a certificate are given, with
// Nagle's algorithm off as the README sets them up (with it on, ser2net's
// small TLS records wait for delayed acknowledgements).
// Started in the constructor (waits for "Ready"), stopped in the destructor
// or by Stop().
class TSer2Net {
 public:
  explicit TSer2Net(const QString &ttyPath, const QString &tlsKey = QString(),
                    const QString &tlsCert = QString())
      : ttyPath_(ttyPath),
        tls_(tlsKey.isEmpty() ? QString()
                              : QStringLiteral("ssl(key=%1,cert=%2),").arg(tlsKey, tlsCert)),
        rfc2217Port_(FreeLoopbackPort()),
        rawPort_(FreeLoopbackPort()) {
    Start();
  }
  ~TSer2Net() { Stop(); }
  TSer2Net(const TSer2Net &) = delete;
  TSer2Net &operator=(const TSer2Net &) = delete;

  QString Rfc2217Url() const { return Url("rfc2217", rfc2217Port_); }
  QString RawUrl() const { return Url("socket", rawPort_); }
  uint16_t RawPort() const { return rawPort_; }

  void Start() {
    const QString config = QStringLiteral(
                               "connection: &rfc2217\n"
                               "  accepter: telnet(rfc2217),%4tcp(nodelay),127.0.0.1,%1\n"
                               "  connector: serialdev,%3,9600n81,local\n"
                               "connection: &raw\n"
                               "  accepter: %4tcp(nodelay),127.0.0.1,%2\n"
                               "  connector: serialdev,%3,9600n81,local\n")
                               .arg(rfc2217Port_)
                               .arg(rawPort_)
                               .arg(ttyPath_, tls_);
    const QString configPath = folder_.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
      throw std::runtime_error("cannot write the ser2net configuration");
    }
    file.close();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(
        QStringLiteral("ser2net"),
        {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-r"), QStringLiteral("-c"),
         configPath, QStringLiteral("-P"), folder_.filePath(QStringLiteral("ser2net.pid"))});
    QByteArray output;
    while (!output.contains("Ready")) {
      if (!process_.waitForReadyRead(5000)) {
        throw std::runtime_error("ser2net did not start: " + output.toStdString());
      }
      output += process_.readAll();
    }
  }

  void Stop() {
    if (process_.state() == QProcess::NotRunning) {
      return;
    }
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }

 private:
  QString Url(const char *scheme, uint16_t port) const {
    return QStringLiteral("%1%2://127.0.0.1:%3")
        .arg(QLatin1String(scheme), tls_.isEmpty() ? QString() : QStringLiteral("+tls"))
        .arg(port);
  }

  QTemporaryDir folder_;
  QString ttyPath_;
  QString tls_;  // the ssl filter of the accepters, or empty
  uint16_t rfc2217Port_;
  uint16_t rawPort_;
  QProcess process_;
};

// A server of the test's own on a loopback port: each connection it accepts
// is handed to 'serve' on a thread of its own (one at a time).
class TFakeServer {
 public:
  using TServe = std::function<void(int connection)>;

  explicit TFakeServer(TServe serve) : serve_(std::move(serve)) {
    thread_ = std::thread([this] {
      // A client that has already hung up (as every refusing client does)
      // must not end the test with SIGPIPE when a server writes with write(),
      // as OpenSSL does. Blocked here, it stays pending on this thread alone.
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
      Run();
    });
  }
  ~TFakeServer() {
    stopping_ = true;
    thread_.join();
  }
  TFakeServer(const TFakeServer &) = delete;
  TFakeServer &operator=(const TFakeServer &) = delete;

  QString Url(const char *scheme = "rfc2217") const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(listener_.Port());
  }

  // Reads what the client sends until 'limitMs' pass without a byte.
  static QByteArray ReadFor(int connection, int limitMs) {
    QByteArray bytes;
    char buffer[512];
    pollfd ready{connection, POLLIN, 0};
    while (poll(&ready, 1, limitMs) > 0) {
      const ssize_t got = read(connection, buffer, sizeof buffer);
      if (got <= 0) {
        break;
      }
      bytes.append(buffer, got);
    }
    return bytes;
  }
  static void Send(int connection, const QByteArray &bytes) {
    (void)send(connection, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
  }

 private:
  void Run() {
    while (!stopping_) {
      pollfd ready{listener_.Fd(), POLLIN, 0};
      if (poll(&ready, 1, 20) <= 0) {
        continue;
      }
      const int connection = accept(listener_.Fd(), nullptr, nullptr);
      if (connection >= 0) {
        serve_(connection);
        close(connection);
      }
    }
  }

  TLoopbackListener listener_;
  TServe serve_;
  std::atomic<bool> stopping_ = false;
  std::thread thread_;
};
