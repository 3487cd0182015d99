// Network ports inside TLS against servers of the test's own on loopback:
// the URL's options, servers that must be refused (each with its reason and
// without a byte of the line), servers that must be taken, and a session
// that breaks in the middle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include "fake_usb_device.h"
#include "network_address.h"
#include "open_error_dialogs.h"
#include "port_thread.h"
#include "pty_line.h"
#include "recording_dialogs.h"
#include "test_certificates.h"
#include "text_table.h"
#include "tls_test_server.h"

namespace {

using TKind = TOpenFailure::TKind;

const QString kPin = "sha256:" + QString(64, u'a');

TEST(TlsAddress, OptionsAreTakenAndAnythingDoubtfulIsRefused) {
  const auto tls = ParseNetworkUrl(
      "rfc2217+tls://plant.example:2217?ca=/etc/a%20b.pem&cert=/c.pem&key=/"
      "k.pem&fingerprint=sha256:" +
      QString("0a:").repeated(31) + "0A");
  ASSERT_TRUE(tls && tls->tls);
  EXPECT_EQ(tls->kind, TNetworkAddress::TKind::Rfc2217);
  EXPECT_EQ(tls->tls->caFile, "/etc/a b.pem");
  EXPECT_EQ(tls->tls->keyFile, "/k.pem");
  EXPECT_EQ(tls->tls->fingerprint, QByteArray(32, '\x0a'));
  const auto plain = ParseNetworkUrl("socket+tls://[::1]:4001");
  ASSERT_TRUE(plain && plain->tls);
  EXPECT_EQ(plain->host, "::1");
  EXPECT_FALSE(ParseNetworkUrl("socket://127.0.0.1:1")->tls.has_value());

  for (const QString &bad : QStringList{
           "socket://h:1?ca=/a.pem",        // options on plain TCP
           "socket+tls://h:1?ca=a.pem",     // a relative path
           "socket+tls://h:1?ca=",          // empty
           "socket+tls://h:1?ca=/a&ca=/b",  // twice
           "socket+tls://h:1?cert=/c.pem",  // cert without key
           "socket+tls://h:1?verify=no",    // unknown
           "socket+tls://h:1?fingerprint=" + kPin.left(70),
           "socket+tls://h:1?fingerprint=md5:" + QString(64, u'a'),
           "socket+tls://h:1?fingerprint=sha256:" + QString(62, u'a') + "::",
       }) {
    EXPECT_FALSE(ParseNetworkUrl(bad).has_value()) << bad.toStdString();
  }

  // Pinning writes a fingerprint the parser takes back unchanged.
  const QByteArray sha256 = QByteArray::fromHex("00ff").repeated(16);
  for (const QString url : {"socket+tls://h:1", "socket+tls://h:1?ca=/a.pem"}) {
    const auto pinned = ParseNetworkUrl(WithPinnedFingerprint(url, sha256));
    ASSERT_TRUE(pinned && pinned->tls) << url.toStdString();
    EXPECT_EQ(pinned->tls->fingerprint, sha256);
  }
}

class TlsServers : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    signal(SIGPIPE, SIG_IGN);  // the test servers write with write(2)
    certificates = std::make_unique<TTestCertificates>();
  }
  static void TearDownTestSuite() { certificates.reset(); }

  static QString Path(const char *name) { return certificates->Path(name); }
  static QString Ca() { return "ca=" + Path("ca.pem"); }
  static QString PinOf(const char *pem) {
    return "fingerprint=sha256:" + certificates->Fingerprint(pem);
  }

  std::unique_ptr<TPortThread> MakePort(const QString &url) {
    auto port = std::make_unique<TPortThread>(std::make_unique<TFakeUsbDevice>(), TPortSources());
    port->SetNetworkPorts({{QStringLiteral("plant"), url}});
    port->OnReceive = [this](const QByteArray &chunk) { received.append(chunk); };
    port->SetOpenFailureReport(ShowOpenFailureDialog);
    port->SetPortName(QStringLiteral("plant"));
    return port;
  }

  static std::unique_ptr<TTestCertificates> certificates;
  TRecordingDialogs dialogs;
  QByteArray received;
};

std::unique_ptr<TTestCertificates> TlsServers::certificates;

struct THostileTls {
  const char *name;
  const char *cert;
  const char *key;
  QString options;
  TKind reason;
  int text;
};

// The rfc2217 engine would offer its options at once: a server that hears
// anything at all heard the line before verification.
TEST_F(TlsServers, RefusedServersGiveTheirReasonAndHearNothing) {
  const THostileTls cases[] = {
      {"self-signed, no pin", "self.pem", "self.key", "", TKind::CertificateNotTrusted,
       kTextTlsCertificateNotTrusted},
      {"from a CA not given", "server.pem", "server.key", "", TKind::CertificateNotTrusted,
       kTextTlsCertificateNotTrusted},
      {"another name", "other.pem", "other.key", Ca(), TKind::CertificateWrongName,
       kTextTlsCertificateWrongName},
      {"expired", "expired.pem", "server.key", Ca(), TKind::CertificateExpired,
       kTextTlsCertificateExpired},
      {"another pin", "server.pem", "server.key", PinOf("self.pem"), TKind::FingerprintMismatch,
       kTextTlsFingerprintMismatch},
  };
  for (const THostileTls &hostile : cases) {
    SCOPED_TRACE(hostile.name);
    TTlsTestServer server(Path(hostile.cert), Path(hostile.key));
    auto port = MakePort(server.Url("rfc2217+tls", hostile.options));
    EXPECT_FALSE(port->OpenPort());
    EXPECT_EQ(port->LastOpenFailure().kind, hostile.reason);
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.last().headline, GetText(kTextSerialPortError));
    // The reason within the line naming the security, and the host and port tried.
    const QString address = server.Url("socket+tls").section(QStringLiteral("//"), 1);
    EXPECT_EQ(dialogs.last().message, GetText(kTextTlsConnectionFailed).arg(GetText(hostile.text)) +
                                          QStringLiteral("\nCím: ") + address);
    dialogs.records.clear();
    port.reset();
    EXPECT_TRUE(server.Received().isEmpty()) << server.Received().toHex().toStdString();
  }
}

void StallHandshake(int connection) {
  TFakeServer::ReadFor(connection, 8000);
}
void CloseMidHandshake(int connection) {
  TFakeServer::ReadFor(connection, 300);  // the client's hello
}
void SpeakPlainText(int connection) {
  TFakeServer::Send(connection, QByteArray("Welcome to the line\r\n").repeated(20));
  TFakeServer::ReadFor(connection, 2000);
}

TEST_F(TlsServers, ServersThatSpeakNoTlsEndTheOpenWithinTheLimit) {
  const struct {
    const char *name;
    TFakeServer::TServe serve;
    TKind reason;
  } cases[] = {
      {"stalls", StallHandshake, TKind::NoAnswer},
      {"closes mid-handshake", CloseMidHandshake, TKind::ConnectionClosed},
      {"plain bytes", SpeakPlainText, TKind::HandshakeFailed},
  };
  for (const auto &hostile : cases) {
    SCOPED_TRACE(hostile.name);
    TFakeServer server(hostile.serve);
    // The window's timers stand for its painting: they keep running while
    // the handshake waits.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(TryNetworkPort(server.Url("socket+tls") + "?" + Ca()).kind, hostile.reason);
    EXPECT_LT(clock.elapsed(), 10000);  // the 3 s limit holds, with room for a loaded machine
    if (hostile.reason == TKind::NoAnswer) {
      EXPECT_GT(ticks, 0) << "the event loop stood still while the handshake stalled";
    }
  }
}

TEST_F(TlsServers, PinnedOrVouchedForServersCarryTheLineBothWays) {
  const struct {
    const char *cert;
    const char *key;
    const char *host;
    QString options;
  } cases[] = {
      {"self.pem", "self.key", "127.0.0.1", PinOf("self.pem")},
      {"other.pem", "other.key", "127.0.0.1", PinOf("other.pem")},  // a pin overrides the name
      {"server.pem", "server.key", "127.0.0.1", Ca()},
      {"server.pem", "server.key", "localhost", Ca()},
  };
  for (const auto &good : cases) {
    SCOPED_TRACE(std::string(good.cert) + " " + good.host);
    TTlsTestServer server(Path(good.cert), Path(good.key));
    received.clear();
    auto port = MakePort(server.Url("socket+tls", good.options).replace("127.0.0.1", good.host));
    ASSERT_TRUE(port->OpenPort()) << OpenFailureText(port->LastOpenFailure()).toStdString();
    EXPECT_TRUE(WaitUntil([&] { return received == kTlsGreeting; }, 10000)) << received.data();
    const QByteArray line = QByteArray::fromHex("02414243ff0003");
    ASSERT_TRUE(port->WriteData(reinterpret_cast<const uint8_t *>(line.constData()),
                                static_cast<uint16_t>(line.size())));
    EXPECT_TRUE(WaitUntil([&] { return server.Received() == line; }, 10000));
  }
}

TEST_F(TlsServers, TheTryShowsTheCertificateOfAnUntrustedServer) {
  TTlsTestServer server(Path("self.pem"), Path("self.key"));
  std::optional<TServerCertificate> seen;
  EXPECT_EQ(TryNetworkPort(server.Url("socket+tls"), TOpenStop(), &seen).kind,
            TKind::CertificateNotTrusted);
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(FingerprintText(seen->sha256), certificates->Fingerprint("self.pem"));
  EXPECT_EQ(seen->subject, "CN=localhost");
  EXPECT_EQ(seen->issuer, "CN=localhost");
  EXPECT_TRUE(seen->notAfter.endsWith(" UTC")) << seen->notAfter.toStdString();
}

TEST_F(TlsServers, AKeyOthersMayReadIsRefusedBeforeAnythingGoesOut) {
  TTlsTestServer server(Path("server.pem"), Path("server.key"));
  const QString options = Ca() + "&cert=" + Path("client.pem") + "&key=" + Path("client.key");
  ASSERT_EQ(chmod(QFile::encodeName(Path("client.key")).constData(), 0640), 0);
  EXPECT_EQ(TryNetworkPort(server.Url("socket+tls", options)).kind, TKind::KeyFileExposed);
  ASSERT_EQ(chmod(QFile::encodeName(Path("client.key")).constData(), 0600), 0);
  EXPECT_EQ(TryNetworkPort(server.Url("socket+tls", options)).kind, TKind::None);
  EXPECT_EQ(TryNetworkPort(server.Url("socket+tls", "ca=/nonexistent.pem")).kind,
            TKind::TlsFileUnusable);
}

TEST_F(TlsServers, AnAlertInTheStreamLosesTheLineAndTheNextOpenVerifiesAgain) {
  TTlsTestServer server(Path("server.pem"), Path("server.key"),
                        TTlsTestServer::TManner::AlertAfterGreeting);
  auto port = MakePort(server.Url("socket+tls", Ca()));
  ASSERT_TRUE(port->OpenPort());
  EXPECT_TRUE(WaitUntil([&] { return port->LineLost() && !received.isEmpty(); }, 10000));
  EXPECT_EQ(received, kTlsGreeting);  // the alert itself never reaches the line
  port->ClosePort();
  received.clear();
  ASSERT_TRUE(port->OpenPort());
  EXPECT_TRUE(WaitUntil([&] { return received == kTlsGreeting; }, 10000));
  EXPECT_FALSE(port->LineLost());
}

}  // namespace
