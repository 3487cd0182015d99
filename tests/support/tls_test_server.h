// A TLS server of the test's own on a loopback port (OpenSSL, one
// connection at a time): it greets each client with kTlsGreeting and keeps
// every byte it decrypts, so a test sees what crossed and, above all, what
// did not. With AlertAfterGreeting the first connection gets, after the
// greeting, a fatal alert record instead of more data.
//
//   TTlsTestServer server(certificates.Path("self.pem"), certificates.Path("self.key"));
//   port.SetNetworkPorts({{"plant", server.Url("socket+tls", "fingerprint=sha256:…")}});
#pragma once

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "ser2net_process.h"

inline const QByteArray kTlsGreeting = QByteArrayLiteral("hello from the server");

class TTlsTestServer {
 public:
  enum class TManner { Serve, AlertAfterGreeting };

  TTlsTestServer(const QString &cert, const QString &key, TManner manner = TManner::Serve)
      : context_(SSL_CTX_new(TLS_server_method()), SSL_CTX_free), manner_(manner) {
    if (!context_ ||
        SSL_CTX_use_certificate_chain_file(context_.get(), QFile::encodeName(cert).constData()) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(context_.get(), QFile::encodeName(key).constData(),
                                    SSL_FILETYPE_PEM) != 1) {
      throw std::runtime_error("the test server's certificate does not load");
    }
  }
  ~TTlsTestServer() { stopping_ = true; }
  TTlsTestServer(const TTlsTestServer &) = delete;
  TTlsTestServer &operator=(const TTlsTestServer &) = delete;

  QString Url(const char *scheme, const QString &options = QString()) const {
    return server_.Url(scheme) + (options.isEmpty() ? QString() : QLatin1Char('?') + options);
  }
  QByteArray Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  void Serve(int connection) {
    const timeval limit{5, 0};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context_.get()), SSL_free);
    SSL_set_fd(ssl.get(), connection);
    if (SSL_accept(ssl.get()) != 1) {
      return;
    }
    SSL_write(ssl.get(), kTlsGreeting.constData(), static_cast<int>(kTlsGreeting.size()));
    if (manner_ == TManner::AlertAfterGreeting && !alerted_) {
      alerted_ = true;
      // A fatal alert (internal error) as a record of its own, outside the
      // session's protection: the client must give the line up.
      const char alert[] = {0x15, 0x03, 0x03, 0x00, 0x02, 0x02, 0x50};
      (void)send(connection, alert, sizeof alert, MSG_NOSIGNAL);
      pollfd closed{connection, POLLIN, 0};
      poll(&closed, 1, 3000);
      return;
    }
    char buffer[512];
    while (!stopping_) {
      pollfd ready{connection, POLLIN, 0};
      if (SSL_pending(ssl.get()) == 0 && poll(&ready, 1, 50) == 0) {
        continue;
      }
      const int got = SSL_read(ssl.get(), buffer, sizeof buffer);
      if (got <= 0) {
        return;
      }
      std::lock_guard lock(mutex_);
      received_.append(buffer, got);
    }
  }

  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context_;
  const TManner manner_;
  bool alerted_ = false;
  mutable std::mutex mutex_;
  QByteArray received_;
  std::atomic<bool> stopping_ = false;
  TFakeServer server_{[this](int connection) { Serve(connection); }};  // last: it starts serving
};
