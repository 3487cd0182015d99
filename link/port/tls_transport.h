// TLS under the network device, done by OpenSSL 3 on the device's own
// non-blocking socket (the worker keeps polling that descriptor).
//
// Make prepares the context before any connection: TLS 1.2 or newer, the
// trust anchors (the system's store, or ca=), the client certificate and
// its key (refused when group or others may read the key, as ssh refuses
// one). Start then runs the handshake within the open's deadline and
// verifies the server: with a pin, only the SHA-256 of its certificate
// decides; otherwise its chain, its validity dates and its name (a DNS name
// against subjectAltName, with SNI; an address literal against its IP
// entries). Each failure maps to a reason of its own. No byte of the line
// is taken or given before Start has succeeded, and a TLS address never
// falls back to plain TCP.
//
// Threads: Receive (the worker) and Send (the main thread) share one TLS
// session, so every call into it holds the transport's lock; none of them
// waits.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

#include "byte_transport.h"
#include "tls_options.h"

// The server certificate a handshake was shown, for the user to judge.
struct TServerCertificate {
  QString subject;
  QString issuer;
  QString notBefore;  // "yyyy-MM-dd hh:mm:ss UTC"
  QString notAfter;
  QByteArray sha256;  // of its DER form
};

class TTlsTransport final : public TByteTransport {
 public:
  // The transport for 'host' (the name or address of the URL), or null with
  // the reason in 'failure' (KeyFileExposed, TlsFileUnusable).
  static std::unique_ptr<TTlsTransport> Make(const QString &host, const TTlsOptions &options,
                                             TOpenFailure &failure);
  ~TTlsTransport() override;
  TTlsTransport(const TTlsTransport &) = delete;
  TTlsTransport &operator=(const TTlsTransport &) = delete;

  TOpenFailure Start(int fd, TClock::time_point deadline, TOpenStop stop) override;
  TTransfer Receive(uint8_t *buffer, size_t capacity) override;
  TTransfer Send(const uint8_t *bytes, size_t length) override;
  short ReceiveEvents() const override;
  size_t Buffered() const override;

  // The certificate the server showed in Start, whether it was accepted or
  // not; none when the handshake ended before it came.
  const std::optional<TServerCertificate> &ServerCertificate() const { return certificate_; }

 private:
  struct TSession;
  TTlsTransport();

  TOpenFailure Handshake(TClock::time_point deadline);
  TOpenFailure HandshakeFailure(int error);
  TOpenFailure ConfirmClientCertificate(TClock::time_point deadline);
  TTransfer Outcome(int result, size_t count);

  std::unique_ptr<TSession> session_;
  std::optional<TServerCertificate> certificate_;
  mutable std::mutex mutex_;
  TOpenStop stop_;                // set by Start
  short receiveEvents_ = POLLIN;  // under mutex_
  bool broken_ = false;           // under mutex_
};
