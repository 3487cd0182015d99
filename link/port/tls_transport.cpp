#include "tls_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>

namespace {

using TKind = TOpenFailure::TKind;
using TClock = std::chrono::steady_clock;

TOpenFailure Failure(TKind kind, int systemError = 0) {
  return TOpenFailure::OfNetwork(kind, systemError);
}

// TLS alert descriptions (RFC 8446, section 6).
constexpr int kAlertHandshakeFailure = 40;
constexpr int kAlertBadCertificate = 42;
constexpr int kAlertUnknownCa = 48;
constexpr int kAlertCertificateRequired = 116;

// How long, at most, a TLS 1.3 server that asked for a client certificate
// is given to refuse it once the client's side of the handshake is done
// (TLS 1.3 lets the client finish before the server has judged it).
constexpr std::chrono::milliseconds kClientCertificateVerdict{1000};

// The socket as OpenSSL reads and writes it: like its own socket BIO, but
// sending with MSG_NOSIGNAL, so a server that has gone away is an error and
// not a SIGPIPE that ends the program.
int SocketOf(BIO *bio) {
  return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int SocketWrite(BIO *bio, const char *bytes, int length) {
  BIO_clear_retry_flags(bio);
  ssize_t sent;
  do {
    sent = send(SocketOf(bio), bytes, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    BIO_set_retry_write(bio);
  }
  return static_cast<int>(sent);
}

int SocketRead(BIO *bio, char *bytes, int length) {
  BIO_clear_retry_flags(bio);
  ssize_t got;
  do {
    got = recv(SocketOf(bio), bytes, static_cast<size_t>(length), MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    BIO_set_retry_read(bio);
  }
  return static_cast<int>(got);
}

long SocketControl(BIO *, int command, long, void *) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

const BIO_METHOD *SocketMethod() {
  static const BIO_METHOD *const method = [] {
    BIO_METHOD *made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
    if (made != nullptr) {
      BIO_meth_set_write(made, SocketWrite);
      BIO_meth_set_read(made, SocketRead);
      BIO_meth_set_ctrl(made, SocketControl);
    }
    return made;
  }();
  return method;
}

// A key on disk never asks for a passphrase on the program's terminal: an
// encrypted key is a file the program cannot use.
int NoPassphrase(char *, int, int, void *) {
  return 0;
}

// The errno of opening 'path' for reading; 0 when it opens.
int OpenError(const QString &path) {
  const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return errno;
  }
  close(fd);
  return 0;
}

bool IsAddressLiteral(const QByteArray &host) {
  in6_addr address{};
  return inet_pton(AF_INET, host.constData(), &address) == 1 ||
         inet_pton(AF_INET6, host.constData(), &address) == 1;
}

TOpenFailure VerifyFailure(long result) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return Failure(TKind::CertificateExpired);
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return Failure(TKind::CertificateWrongName);
    default:
      return Failure(TKind::CertificateNotTrusted);
  }
}

QString NameText(const X509_NAME *name) {
  std::unique_ptr<BIO, decltype(&BIO_free)> memory(BIO_new(BIO_s_mem()), BIO_free);
  if (!memory ||
      X509_NAME_print_ex(memory.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0) {
    return QString();
  }
  char *text = nullptr;
  const long size = BIO_get_mem_data(memory.get(), &text);
  return QString::fromUtf8(text, static_cast<qsizetype>(size));
}

QString TimeText(const ASN1_TIME *time) {
  tm moment{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &moment) != 1) {
    return QString();
  }
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &moment);
  return QString::fromLatin1(text);
}

QByteArray Sha256Of(X509 *certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &size) != 1) {
    return QByteArray();
  }
  return QByteArray(reinterpret_cast<const char *>(digest), static_cast<qsizetype>(size));
}

TServerCertificate Describe(X509 *certificate) {
  return {NameText(X509_get_subject_name(certificate)), NameText(X509_get_issuer_name(certificate)),
          TimeText(X509_get0_notBefore(certificate)), TimeText(X509_get0_notAfter(certificate)),
          Sha256Of(certificate)};
}

// What the socket must become before OpenSSL can go on after 'error':
// readable, writable, or 0 when waiting would not help.
short SocketEventsWanted(int error) {
  return error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
}

}  // namespace

// The OpenSSL objects of one connection and what their callbacks saw.
struct TTlsTransport::TSession {
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context{nullptr, SSL_CTX_free};
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl{nullptr, SSL_free};
  std::unique_ptr<X509, decltype(&X509_free)> leaf{nullptr, X509_free};
  int fd = -1;
  QByteArray pin;  // 32 bytes, or empty: no pin
  bool pinned = false;
  bool pinMismatch = false;
  int alert = -1;  // the last alert the server sent
  bool certificateRequested = false;
  bool ticketReceived = false;

  static TSession &Of(const SSL *ssl) { return *static_cast<TSession *>(SSL_get_app_data(ssl)); }

  static void Watch(const SSL *ssl, int where, int value) {
    TSession &session = Of(ssl);
    if ((where & SSL_CB_READ_ALERT) != 0) {
      session.alert = value & 0xff;
    }
    if ((where & SSL_CB_LOOP) != 0) {
      const OSSL_HANDSHAKE_STATE state = SSL_get_state(ssl);
      session.certificateRequested |= state == TLS_ST_CR_CERT_REQ;
      session.ticketReceived |= state == TLS_ST_CR_SESSION_TICKET;
    }
  }

  // Keeps the server's own certificate for the user. With a pin, the pin
  // alone decides, and a certificate that does not match it ends the
  // handshake before the client has finished its side.
  static int Verify(int preverified, X509_STORE_CTX *store) {
    auto *ssl =
        static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    TSession &session = Of(ssl);
    X509 *leaf = X509_STORE_CTX_get0_cert(store);
    if (!session.leaf && leaf != nullptr && X509_up_ref(leaf) == 1) {
      session.leaf.reset(leaf);
    }
    if (!session.pinned) {
      return preverified;
    }
    session.pinMismatch = !Matches(leaf, session.pin);
    return session.pinMismatch ? 0 : 1;
  }

  // Compared in constant time.
  static bool Matches(X509 *certificate, const QByteArray &pin) {
    const QByteArray seen = Sha256Of(certificate);
    return !pin.isEmpty() && seen.size() == pin.size() &&
           CRYPTO_memcmp(seen.constData(), pin.constData(), static_cast<size_t>(seen.size())) == 0;
  }
};

TTlsTransport::TTlsTransport() : session_(std::make_unique<TSession>()) {}

TTlsTransport::~TTlsTransport() {
  SSL *ssl = session_->ssl.get();
  if (ssl != nullptr && !broken_ && SSL_is_init_finished(ssl)) {
    ERR_clear_error();
    (void)SSL_shutdown(ssl);  // close_notify, without waiting for the answer
  }
  ERR_clear_error();
}

std::unique_ptr<TTlsTransport> TTlsTransport::Make(const QString &host, const TTlsOptions &options,
                                                   TOpenFailure &failure) {
  failure = {};
  for (const QString &file : {options.caFile, options.certFile, options.keyFile}) {
    const int error = file.isEmpty() ? 0 : OpenError(file);
    if (error != 0) {
      failure = Failure(TKind::TlsFileUnusable, error);
      return nullptr;
    }
  }
  struct stat key = {};
  if (!options.keyFile.isEmpty() &&
      stat(QFile::encodeName(options.keyFile).constData(), &key) == 0 && (key.st_mode & 077) != 0) {
    failure = Failure(TKind::KeyFileExposed);
    return nullptr;
  }

  std::unique_ptr<TTlsTransport> transport(new TTlsTransport);
  TSession &session = *transport->session_;
  ERR_clear_error();
  session.context.reset(SSL_CTX_new(TLS_client_method()));
  SSL_CTX *context = session.context.get();
  if (context == nullptr || SocketMethod() == nullptr) {
    failure = Failure(TKind::NetworkSystemError, ENOMEM);
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_default_passwd_cb(context, NoPassphrase);
  SSL_CTX_set_info_callback(context, TSession::Watch);
  session.pin = options.fingerprint;
  session.pinned = !options.fingerprint.isEmpty();
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, TSession::Verify);
  const QByteArray ca = QFile::encodeName(options.caFile);
  const QByteArray cert = QFile::encodeName(options.certFile);
  const QByteArray keyFile = QFile::encodeName(options.keyFile);
  const bool anchored = session.pinned ? true
                        : ca.isEmpty()
                            ? SSL_CTX_set_default_verify_paths(context) == 1
                            : SSL_CTX_load_verify_locations(context, ca.constData(), nullptr) == 1;
  const bool identified =
      cert.isEmpty() ||
      (SSL_CTX_use_certificate_chain_file(context, cert.constData()) == 1 &&
       SSL_CTX_use_PrivateKey_file(context, keyFile.constData(), SSL_FILETYPE_PEM) == 1 &&
       SSL_CTX_check_private_key(context) == 1);
  if (!anchored || !identified) {
    ERR_clear_error();
    failure = Failure(TKind::TlsFileUnusable);
    return nullptr;
  }

  session.ssl.reset(SSL_new(context));
  SSL *ssl = session.ssl.get();
  if (ssl == nullptr) {
    failure = Failure(TKind::NetworkSystemError, ENOMEM);
    return nullptr;
  }
  SSL_set_app_data(ssl, &session);
  SSL_set_mode(ssl, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // A name is checked and sent (SNI) in its ASCII form.
  const QByteArray literal = host.toUtf8();
  const bool address = IsAddressLiteral(literal);
  const QByteArray name = address ? literal : QUrl::toAce(host);
  bool checked = true;
  if (!address) {
    checked = SSL_set_tlsext_host_name(ssl, name.constData()) == 1;
  }
  if (!session.pinned) {
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    checked = checked &&
              (address ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.constData()) == 1
                       : SSL_set1_host(ssl, name.constData()) == 1);
  }
  if (name.isEmpty() || !checked) {
    ERR_clear_error();
    failure = Failure(TKind::InvalidAddress);  // a name the check could not take
    return nullptr;
  }
  ERR_clear_error();
  return transport;
}

TOpenFailure TTlsTransport::Start(int fd, TClock::time_point deadline, TOpenStop stop) {
  stop_ = stop;
  TSession &session = *session_;
  session.fd = fd;
  BIO *bio = BIO_new(SocketMethod());
  if (bio == nullptr) {
    return Failure(TKind::NetworkSystemError, ENOMEM);
  }
  BIO_set_data(bio, reinterpret_cast<void *>(static_cast<intptr_t>(fd)));
  BIO_set_init(bio, 1);
  SSL_set_bio(session.ssl.get(), bio, bio);
  SSL_set_connect_state(session.ssl.get());

  TOpenFailure failure = Handshake(deadline);
  X509 *shown = session.leaf ? session.leaf.get() : SSL_get0_peer_certificate(session.ssl.get());
  if (shown != nullptr) {
    certificate_ = Describe(shown);
  }
  if (!failure.Failed() && session.pinned &&
      !TSession::Matches(SSL_get0_peer_certificate(session.ssl.get()), session.pin)) {
    failure = Failure(TKind::FingerprintMismatch);  // no certificate came to be verified
  }
  if (!failure.Failed() && session.certificateRequested &&
      SSL_version(session.ssl.get()) >= TLS1_3_VERSION) {
    failure = ConfirmClientCertificate(deadline);
  }
  std::lock_guard lock(mutex_);
  broken_ = failure.Failed();
  ERR_clear_error();
  return failure;
}

TOpenFailure TTlsTransport::Handshake(TClock::time_point deadline) {
  for (;;) {
    ERR_clear_error();
    const int result = SSL_connect(session_->ssl.get());
    if (result == 1) {
      return {};
    }
    const int error = SSL_get_error(session_->ssl.get(), result);
    const short events = SocketEventsWanted(error);
    if (events == 0) {
      return HandshakeFailure(error);
    }
    if (WaitForSocket(session_->fd, events, deadline, stop_) == 0) {
      return Failure(TKind::NoAnswer);
    }
  }
}

TOpenFailure TTlsTransport::HandshakeFailure(int error) {
  const TSession &session = *session_;
  if (session.pinMismatch) {
    return Failure(TKind::FingerprintMismatch);
  }
  const long verified = SSL_get_verify_result(session.ssl.get());
  if (!session.pinned && verified != X509_V_OK) {
    return VerifyFailure(verified);
  }
  const int alert = session.alert;
  if (alert == kAlertCertificateRequired ||
      (session.certificateRequested &&
       (alert == kAlertHandshakeFailure ||
        (alert >= kAlertBadCertificate && alert <= kAlertUnknownCa)))) {
    return Failure(TKind::ClientCertificateRequired);
  }
  const bool endOfStream =
      alert < 0 && (error == SSL_ERROR_ZERO_RETURN || error == SSL_ERROR_SYSCALL ||
                    (error == SSL_ERROR_SSL &&
                     ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING));
  return Failure(endOfStream ? TKind::ConnectionClosed : TKind::HandshakeFailed);
}

// A TLS 1.3 server judges the client certificate after the client has
// finished: it answers with a session ticket or data when it takes it, and
// with an alert when it does not. Nothing of the line is read here (a peek
// leaves data where it is).
TOpenFailure TTlsTransport::ConfirmClientCertificate(TClock::time_point deadline) {
  const TClock::time_point until = std::min(deadline, TClock::now() + kClientCertificateVerdict);
  SSL *ssl = session_->ssl.get();
  for (;;) {
    ERR_clear_error();
    char probe = 0;
    const int result = SSL_peek(ssl, &probe, 1);
    if (result > 0 || session_->ticketReceived) {
      return {};
    }
    const int error = SSL_get_error(ssl, result);
    const short events = SocketEventsWanted(error);
    if (events == 0) {
      return HandshakeFailure(error);
    }
    if (WaitForSocket(session_->fd, events, until, stop_) == 0) {
      return {};  // no verdict: the server keeps quiet, as one that took the certificate may
    }
  }
}

TTransfer TTlsTransport::Outcome(int result, size_t count) {
  if (result > 0) {
    return {TTransfer::TState::Moved, count, POLLIN};
  }
  switch (SSL_get_error(session_->ssl.get(), result)) {
    case SSL_ERROR_WANT_READ:
      return {TTransfer::TState::WouldBlock, 0, POLLIN};
    case SSL_ERROR_WANT_WRITE:
      return {TTransfer::TState::WouldBlock, 0, POLLOUT};
    case SSL_ERROR_ZERO_RETURN:
      // The server closed the session. It is answered at once: some
      // servers wait for the answer before they let go of the connection.
      ERR_clear_error();
      (void)SSL_shutdown(session_->ssl.get());
      broken_ = true;
      return {TTransfer::TState::Closed, 0, POLLIN};
    default:
      broken_ = true;  // closed, an alert, or an error: the session is done
      return {TTransfer::TState::Closed, 0, POLLIN};
  }
}

TTransfer TTlsTransport::Receive(uint8_t *buffer, size_t capacity) {
  std::lock_guard lock(mutex_);
  if (broken_) {
    return {TTransfer::TState::Closed, 0, POLLIN};
  }
  ERR_clear_error();
  const int result =
      SSL_read(session_->ssl.get(), buffer, static_cast<int>(std::min<size_t>(capacity, INT_MAX)));
  TTransfer transfer = Outcome(result, result > 0 ? static_cast<size_t>(result) : 0);
  receiveEvents_ = transfer.waitFor;
  if (transfer.state == TTransfer::TState::WouldBlock) {
    // What the socket held went into a record that is not whole yet, or
    // into one that carried no data (a session ticket).
    transfer.state = TTransfer::TState::Moved;
  }
  return transfer;
}

TTransfer TTlsTransport::Send(const uint8_t *bytes, size_t length) {
  std::lock_guard lock(mutex_);
  if (broken_) {
    return {TTransfer::TState::Closed, 0, POLLOUT};
  }
  ERR_clear_error();
  const int size = static_cast<int>(std::min<size_t>(length, INT_MAX));
  const int result = SSL_write(session_->ssl.get(), bytes, size);
  return Outcome(result, result > 0 ? static_cast<size_t>(result) : 0);
}

short TTlsTransport::ReceiveEvents() const {
  std::lock_guard lock(mutex_);
  return receiveEvents_;
}

size_t TTlsTransport::Buffered() const {
  std::lock_guard lock(mutex_);
  const int pending = broken_ ? 0 : SSL_pending(session_->ssl.get());
  return pending > 0 ? static_cast<size_t>(pending) : 0;
}
