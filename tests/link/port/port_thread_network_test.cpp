// Network ports of TPortThread against the real ser2net on loopback, with a
// pseudo-terminal of the test as its serial side, plain and inside TLS (and
// behind stunnel, which asks for a client certificate), and against fake
// servers that misbehave during the negotiation.
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QByteArray>
#include <QStandardPaths>
#include <memory>
#include <vector>

#include "fake_usb_device.h"
#include "open_error_dialogs.h"
#include "port_thread.h"
#include "pty_line.h"
#include "recording_dialogs.h"
#include "ser2net_process.h"
#include "telnet_parser.h"
#include "test_certificates.h"
#include "text_table.h"

namespace {

// Every byte value, the Telnet escape 0xFF among them: each must cross
// unchanged.
const QByteArray kAllBytes = [] {
  QByteArray bytes;
  for (int value = 0; value < 256; ++value) {
    bytes.append(static_cast<char>(value));
  }
  return bytes;
}();

bool Installed(const char *program) {
  return !QStandardPaths::findExecutable(QLatin1String(program)).isEmpty() ||
         !QStandardPaths::findExecutable(QLatin1String(program), {"/usr/sbin", "/usr/bin"})
              .isEmpty();
}

// Made once for the tests that serve TLS.
const TTestCertificates &Certificates() {
  static const TTestCertificates certificates;
  return certificates;
}

// Parameter: ser2net serves inside TLS.
class Ser2NetPort : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!Installed("ser2net")) {
      GTEST_SKIP() << "ser2net is not installed (scripts/install-deps)";
    }
    // The tty starts at another speed, so the negotiation shows.
    termios state = line.SlaveTermios();
    cfsetispeed(&state, B9600);
    cfsetospeed(&state, B9600);
    tcsetattr(line.Slave(), TCSANOW, &state);
    server = GetParam()
                 ? std::make_unique<TSer2Net>(line.SlavePath(), Certificates().Path("server.key"),
                                              Certificates().Path("server.pem"))
                 : std::make_unique<TSer2Net>(line.SlavePath());
  }

  // A TLS URL trusts the test's CA.
  std::unique_ptr<TPortThread> MakePort(QString url) {
    if (GetParam()) {
      url += "?ca=" + Certificates().Path("ca.pem");
    }
    auto port = std::make_unique<TPortThread>(std::make_unique<TFakeUsbDevice>(), TPortSources());
    port->SetNetworkPorts({{QStringLiteral("plant"), url}});
    port->OnReceive = [this](const QByteArray &chunk) { received.append(chunk); };
    port->SetOpenFailureReport(ShowOpenFailureDialog);
    port->ConfigureLine(QStringLiteral("plant"));
    return port;
  }

  // Bytes flow both ways: the converter's reach the receiver, the
  // program's reach the converter, each as it was.
  void ExpectFramesBothWays(TPortThread &port) {
    line.Send(kAllBytes);
    EXPECT_TRUE(WaitUntil([&] { return received.size() >= kAllBytes.size(); }));
    EXPECT_EQ(received, kAllBytes);
    ASSERT_TRUE(port.WriteData(reinterpret_cast<const uint8_t *>(kAllBytes.constData()),
                               static_cast<uint16_t>(kAllBytes.size())));
    QByteArray written;
    while (written.size() < kAllBytes.size()) {
      const QByteArray more = line.Received(3000);
      if (more.isEmpty()) {
        break;
      }
      written.append(more);
    }
    EXPECT_EQ(written, kAllBytes);
  }

  TPtyLine line;
  TRecordingDialogs dialogs;
  std::unique_ptr<TSer2Net> server;
  QByteArray received;
};

TEST_P(Ser2NetPort, Rfc2217SetsTheLineTo19200AndEveryByteFlowsBothWays) {
  auto port = MakePort(server->Rfc2217Url());
  ASSERT_TRUE(port->Connected()) << dialogs.records.size();
  EXPECT_TRUE(port->OpensSlowly(QStringLiteral("plant")));
  const termios applied = line.SlaveTermios();
  EXPECT_EQ(cfgetospeed(&applied), B19200);
  EXPECT_EQ(applied.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(applied.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  ExpectFramesBothWays(*port);
}

TEST_P(Ser2NetPort, RawSocketPassesBytesAsTheyAre) {
  auto port = MakePort(server->RawUrl());
  ASSERT_TRUE(port->Connected());
  ExpectFramesBothWays(*port);
}

TEST_P(Ser2NetPort, AServerThatGoesAwayIsALostLineAndTheNameOpensAgainWhenItIsBack) {
  auto port = MakePort(server->Rfc2217Url());
  ASSERT_TRUE(port->Connected());
  server->Stop();
  EXPECT_TRUE(WaitUntil([&] { return port->LineLost(); }));
  EXPECT_TRUE(port->Connected());  // until it is closed, as a hung-up tty
  port->ClosePort();
  server->Start();
  EXPECT_TRUE(port->OpenPort());
  EXPECT_FALSE(port->LineLost());
  ExpectFramesBothWays(*port);
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, Ser2NetPort, testing::Bool(),
                         [](const auto &info) { return info.param ? "Tls" : "Plain"; });

// stunnel with requireCert and verifyChain in front of ser2net's raw port,
// started and stopped by the test.
class TStunnel {
 public:
  TStunnel(uint16_t target, const TTestCertificates &certificates) : port_(FreeLoopbackPort()) {
    const QString config = QStringLiteral(
                               "foreground = yes\npid =\n[line]\naccept = 127.0.0.1:%1\n"
                               "connect = 127.0.0.1:%2\ncert = %3\nkey = %4\nCAfile = %5\n"
                               "requireCert = yes\nverifyChain = yes\n")
                               .arg(port_)
                               .arg(target)
                               .arg(certificates.Path("server.pem"),
                                    certificates.Path("server.key"), certificates.Path("ca.pem"));
    const QString path = folder_.filePath(QStringLiteral("stunnel.conf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
      throw std::runtime_error("cannot write the stunnel configuration");
    }
    file.close();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral("stunnel4"), {path});
    QByteArray output;
    while (!output.contains("Configuration successful")) {
      if (!process_.waitForReadyRead(10000)) {
        throw std::runtime_error("stunnel did not start: " + output.toStdString());
      }
      output += process_.readAll();
    }
  }
  ~TStunnel() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
  TStunnel(const TStunnel &) = delete;
  TStunnel &operator=(const TStunnel &) = delete;

  QString Url(const QString &options) const {
    return QStringLiteral("socket+tls://127.0.0.1:%1?%2").arg(port_).arg(options);
  }

 private:
  uint16_t port_;
  QTemporaryDir folder_;
  QProcess process_;
};

TEST(StunnelPort, AClientCertificateOpensTheLineAndItsAbsenceIsToldClearly) {
  if (!Installed("ser2net") || !Installed("stunnel4")) {
    GTEST_SKIP() << "ser2net or stunnel4 is not installed (scripts/install-deps)";
  }
  const TTestCertificates &certificates = Certificates();
  TPtyLine line;
  TSer2Net ser2net(line.SlavePath());
  TStunnel stunnel(ser2net.RawPort(), certificates);
  const QString ca = "ca=" + certificates.Path("ca.pem");
  const QString withCertificate =
      ca + "&cert=" + certificates.Path("client.pem") + "&key=" + certificates.Path("client.key");
  // stunnel listens a moment after it says it is configured.
  ASSERT_TRUE(WaitUntil(
      [&] {
        return TryNetworkPort(stunnel.Url(ca)).kind != TOpenFailure::TKind::ConnectionRefused;
      },
      10000));

  TRecordingDialogs dialogs;
  TPortThread port(std::make_unique<TFakeUsbDevice>(), TPortSources());
  port.SetNetworkPorts({{QStringLiteral("plant"), stunnel.Url(ca)}});
  port.SetOpenFailureReport(ShowOpenFailureDialog);
  port.SetPortName(QStringLiteral("plant"));
  EXPECT_FALSE(port.OpenPort());
  EXPECT_EQ(port.LastOpenFailure().kind, TOpenFailure::TKind::ClientCertificateRequired);
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().message.section(u'\n', 0, 0),
            GetText(kTextTlsConnectionFailed).arg(GetText(kTextTlsClientCertificateRequired)));

  QByteArray received;
  port.OnReceive = [&](const QByteArray &chunk) { received.append(chunk); };
  port.SetNetworkPorts({{QStringLiteral("plant"), stunnel.Url(withCertificate)}});
  ASSERT_TRUE(port.OpenPort()) << OpenFailureText(port.LastOpenFailure()).toStdString();
  line.Send(kAllBytes);
  EXPECT_TRUE(WaitUntil([&] { return received.size() >= kAllBytes.size(); }, 10000));
  EXPECT_EQ(received, kAllBytes);
}

// What a fake server does with one connection.
void RefuseComPort(int connection) {
  TFakeServer::ReadFor(connection, 300);
  TFakeServer::Send(connection, QByteArray("\xff\xfe\x2c", 3));  // DONT COM-PORT-OPTION
  TFakeServer::ReadFor(connection, 4000);
}

void SendGarbage(int connection) {
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) {
    garbage.append(static_cast<char>((i * 7919) % 256));
  }
  TFakeServer::Send(connection, garbage);
  TFakeServer::ReadFor(connection, 4000);
}

void CloseMidNegotiation(int connection) {
  TFakeServer::ReadFor(connection, 300);
  TFakeServer::Send(connection, QByteArray("\xff\xfd\x2c", 3));  // DO COM-PORT-OPTION
  TFakeServer::ReadFor(connection, 300);                         // the line requests
}

void AcknowledgeAnotherSpeed(int connection) {
  TFakeServer::ReadFor(connection, 300);
  TFakeServer::Send(connection, QByteArray("\xff\xfd\x2c", 3));
  TFakeServer::ReadFor(connection, 300);
  TFakeServer::Send(connection, QByteArray("\xff\xfa\x2c\x65\x00\x00\x25\x80\xff\xf0", 10));
  TFakeServer::ReadFor(connection, 4000);
}

void StaySilent(int connection) {
  TFakeServer::ReadFor(connection, 4000);
}

struct TMisbehaviour {
  const char *name;
  TFakeServer::TServe serve;
  TOpenFailure::TKind error;
  int text;
};

TEST(NetworkOpenFailure, MisbehavingServersGiveAClearErrorInTheSerialPortDialog) {
  const TMisbehaviour cases[] = {
      {"refuses the option", RefuseComPort, TOpenFailure::TKind::SettingsRefused,
       kTextNetworkSettingsRefused},
      {"acknowledges 9600", AcknowledgeAnotherSpeed, TOpenFailure::TKind::SettingsRefused,
       kTextNetworkSettingsRefused},
      {"closes mid-negotiation", CloseMidNegotiation, TOpenFailure::TKind::ConnectionClosed,
       kTextNetworkConnectionClosed},
      {"sends garbage", SendGarbage, TOpenFailure::TKind::NoAnswer, kTextNetworkNoAnswer},
      {"stays silent", StaySilent, TOpenFailure::TKind::NoAnswer, kTextNetworkNoAnswer},
  };
  for (const TMisbehaviour &misbehaviour : cases) {
    SCOPED_TRACE(misbehaviour.name);
    TRecordingDialogs dialogs;
    TFakeServer server(misbehaviour.serve);
    TPortThread port(std::make_unique<TFakeUsbDevice>(), TPortSources());
    port.SetNetworkPorts({{QStringLiteral("plant"), server.Url()}});
    port.SetOpenFailureReport(ShowOpenFailureDialog);
    port.SetPortName(QStringLiteral("plant"));
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.Connected());
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.last().caption, GetText(kTextError));
    EXPECT_EQ(dialogs.last().headline, GetText(kTextSerialPortError));
    // The reason, and the address tried.
    const QString address = server.Url().section(QStringLiteral("//"), 1);
    EXPECT_EQ(dialogs.last().message,
              GetText(misbehaviour.text) + QStringLiteral("\nCím: ") + address);
    if (misbehaviour.error != TOpenFailure::TKind::NoAnswer) {  // a time-out is waited for once
      EXPECT_EQ(TryNetworkPort(server.Url()).kind, misbehaviour.error);
    }
  }
}

// The stop belongs to the open it is given to: one program's end (or one
// dialog's) stops no other open.
TEST(NetworkOpenFailure, AStopEndsTheOpenItIsGivenToAndNoOther) {
  TLoopbackListener silent;  // takes the connection and never negotiates
  const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.Port());
  const int requested = eventfd(1, EFD_CLOEXEC);
  ASSERT_GE(requested, 0);
  EXPECT_EQ(TryNetworkPort(url, TOpenStop(requested)).kind, TOpenFailure::TKind::Stopped);
  EXPECT_EQ(TryNetworkPort(url).kind, TOpenFailure::TKind::NoAnswer);
  close(requested);
}

TEST(NetworkOpenFailure, NoServerAndBadAddressesAreToldApart) {
  QString closedUrl;
  {
    TLoopbackListener listener;
    closedUrl = QStringLiteral("socket://127.0.0.1:%1").arg(listener.Port());
  }
  EXPECT_EQ(TryNetworkPort(closedUrl).kind, TOpenFailure::TKind::ConnectionRefused);
  for (const char *bad : {"socket://127.0.0.1", "rfc2217://127.0.0.1:0", "telnet://127.0.0.1:23",
                          "socket://user@127.0.0.1:23", "socket://127.0.0.1:23/x", "ttyUSB0"}) {
    EXPECT_EQ(TryNetworkPort(QString::fromLatin1(bad)).kind, TOpenFailure::TKind::InvalidAddress)
        << bad;
  }
  EXPECT_TRUE(ParseNetworkUrl(QStringLiteral("rfc2217://[::1]:2217")).has_value());
}

// The open error names the address it tried beside the reason: host and port as the user
// wrote them, an IPv6 address in brackets, and an address that is none as it was written.
TEST(NetworkOpenFailure, TheErrorNamesTheAddressItTried) {
  SetCurrentLanguage(kLanguageEnglish);
  const uint16_t closed = FreeLoopbackPort();
  const struct {
    QString url;
    int reason;  // -1: whatever the system says
    QString address;
  } cases[] = {
      {QStringLiteral("socket://127.0.0.1:%1").arg(closed), kTextNetworkConnectionRefused,
       QStringLiteral("127.0.0.1:%1").arg(closed)},
      {QStringLiteral("rfc2217://[::1]:%1").arg(closed), -1,
       QStringLiteral("[::1]:%1").arg(closed)},
      {QStringLiteral(" telnet://plant.example:23 "), kTextNetworkInvalidAddress,
       QStringLiteral("telnet://plant.example:23")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.url.toStdString());
    TRecordingDialogs dialogs;
    TPortThread port(std::make_unique<TFakeUsbDevice>(), TPortSources());
    port.SetNetworkPorts({{QStringLiteral("plant"), c.url}});
    port.SetOpenFailureReport(ShowOpenFailureDialog);
    port.SetPortName(QStringLiteral("plant"));
    EXPECT_FALSE(port.OpenPort());
    ASSERT_EQ(dialogs.records.size(), 1u);
    const QStringList lines = dialogs.last().message.split(u'\n');
    ASSERT_EQ(lines.size(), 2);
    if (c.reason >= 0) {
      EXPECT_EQ(lines[0], GetText(c.reason));
    }
    EXPECT_EQ(lines[1], QStringLiteral("Address: ") + c.address);
  }
  SetCurrentLanguage(kLanguageHungarian);
}

TEST(NetworkPortList, NamesAreSortedInWithTheSerialNamesAndInvalidOnesLeftOut) {
  TTemporaryPortMap map;
  TPtyLine line;
  map.Register(QStringLiteral("COM7"), line.SlavePath());
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  const QString url = QStringLiteral("socket://127.0.0.1:1");
  port.SetNetworkPorts({{QStringLiteral("plant"), url},
                        {QStringLiteral("Alpha"), url},
                        {QStringLiteral("USB9"), url},
                        {QStringLiteral("-"), url}});
  EXPECT_EQ(port.ListPorts(true), QStringList({"Alpha", "COM7", "plant", "-"}));
  EXPECT_TRUE(port.OpensSlowly(QStringLiteral("plant")));
  EXPECT_FALSE(port.OpensSlowly(QStringLiteral("COM7")));
}

}  // namespace
