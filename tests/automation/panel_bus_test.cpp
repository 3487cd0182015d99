// The panel on the session bus as a script sees it: a client on a
// connection of its own presses keys and reads the display of a main
// window with automation on, while the window's own keys keep working.
#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

#include "automation_switch.h"
#include "bus_names.h"
#include "panel_bus_object.h"
#include "status_bar.h"
#include "window_fixture.h"

namespace {

// What the client receives of the panel's signals.
class TSignalLog : public QObject {
  Q_OBJECT

 public slots:
  void DisplayChanged(const QStringList &lines) { displays.append(lines); }
  void PropertiesChanged(const QString &, const QVariantMap &changed, const QStringList &) {
    properties.insert(changed);
  }

 public:
  QList<QStringList> displays;
  QVariantMap properties;
};

// Methods, signals and properties of org.sorvanel.Panel1 in introspection XML.
QSet<QString> Members(const QString &xml) {
  QSet<QString> members;
  QXmlStreamReader reader(xml);
  bool inPanel = false;
  while (!reader.atEnd()) {
    reader.readNext();
    if (!reader.isStartElement()) {
      if (reader.isEndElement() && reader.name() == u"interface") {
        inPanel = false;
      }
      continue;
    }
    const QString name = reader.attributes().value(QStringLiteral("name")).toString();
    if (reader.name() == u"interface") {
      inPanel = name == QLatin1StringView(kPanelInterface);
    } else if (inPanel && reader.name() != u"arg" && reader.name() != u"annotation") {
      QString member = reader.name().toString() + u' ' + name;
      if (reader.name() == u"property") {
        member += u' ' + reader.attributes().value(QStringLiteral("type")).toString();
      }
      members.insert(member);
    }
  }
  return members;
}

class PanelBusTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (!QDBusConnection::sessionBus().isConnected()) {
      GTEST_SKIP() << "no session bus (the test runs under dbus-run-session)";
    }
    client = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client")));
    ASSERT_TRUE(client->isConnected());
  }
  void TearDown() override {
    window.reset();
    client.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
  }

  TPanelAutomation &Automation() { return Window().Automation().Automation(); }
  void TurnOn() {
    Window().Automation().TurnOn();
    ASSERT_TRUE(Automation().IsOn());
  }

  // Calls the panel from the client and waits for the answer while the
  // window's event loop runs (the panel answers on it).
  QDBusMessage Call(const QString &interface, const QString &method, const QVariantList &args) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        Automation().BusName(), QString::fromLatin1(kPanelObjectPath), interface, method);
    call.setArguments(args);
    QDBusPendingCall pending = client->asyncCall(call, 5000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 6000))
        << method.toStdString();
    return pending.reply();
  }
  QDBusMessage Panel(const QString &method, const QVariantList &args = {}) {
    return Call(QString::fromLatin1(kPanelInterface), method, args);
  }
  QVariant Property(const QString &name) {
    const QDBusMessage reply =
        Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {QString::fromLatin1(kPanelInterface), name});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  bool ShowsPressed(int key) {
    const TFrontPanel &panel = Window().FrontPanel();
    return panel.KeyImage(0, key)->Picture().toImage() ==
           panel.Images_ButtonBig.Image(key + kKeyCount).toImage();
  }

  std::unique_ptr<QDBusConnection> client;
};

TEST(PanelBusNames, InstanceNamesComeFromTheSettingsFile) {
  EXPECT_EQ(PanelInstanceName(QStringLiteral("/home/u/.config/sorvanel/sorvanel.ini")),
            QStringLiteral("sorvanel"));
  EXPECT_EQ(PanelInstanceName(QStringLiteral("/x/line2.ini")), QStringLiteral("line2"));
  EXPECT_EQ(PanelInstanceName(QStringLiteral("2nd-line.v1.ini")), QStringLiteral("_2nd_line_v1"));
  EXPECT_EQ(PanelInstanceName(QStringLiteral("sör.ini")), QStringLiteral("s_r"));
  EXPECT_EQ(PanelInstanceName(QStringLiteral(".ini")), QStringLiteral("_"));
  EXPECT_EQ(PanelBusName(QStringLiteral("line2"), 3),
            QStringLiteral("org.sorvanel.Sorvanel.line2_3"));
}

TEST_F(PanelBusTest, OffUntilTurnedOnAndATakenNameGetsASuffix) {
  const QString plain = QStringLiteral("org.sorvanel.Sorvanel.sorvanel");
  EXPECT_FALSE(Automation().IsOn());
  EXPECT_FALSE(client->interface()->isServiceRegistered(plain).value());
  ASSERT_TRUE(client->interface()->registerService(plain).isValid());  // another program has it
  TurnOn();
  EXPECT_EQ(Automation().BusName(), plain + QStringLiteral("_2"));
  EXPECT_TRUE(Window().Automation().Item()->isChecked());
  EXPECT_EQ(Window().StatusBar()->PanelText(3), GetText(kTextAutomationOn));
  EXPECT_EQ(Property(QStringLiteral("SettingsFile")).toString(), SettingsPath());

  Window().Automation().Menu_AutomationClick();
  EXPECT_FALSE(Automation().IsOn());
  EXPECT_FALSE(client->interface()->isServiceRegistered(plain + QStringLiteral("_2")).value());
  EXPECT_EQ(Window().StatusBar()->PanelText(3), QString());
}

TEST_F(PanelBusTest, ScriptKeysAndTheWindowsKeysGoTheOneWay) {
  TurnOn();
  EXPECT_EQ(Panel(QStringLiteral("Press"), {QStringLiteral("start")}).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_TRUE(Window().Keypad().IsDown(KeyIndex(TTerminalKey::Start)));
  EXPECT_TRUE(ShowsPressed(KeyIndex(TTerminalKey::Start))) << "the window shows a script's key";

  // The user presses UP with the mouse meanwhile: both travel.
  SendMouse(Window().FrontPanel().KeyImage(0, 0), QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_EQ(CompiledKeyBytes(), std::make_pair(uint8_t{0x01}, uint8_t{0x04}));
  // The window losing the keyboard lets go of its own keys only.
  QFocusEvent focusOut(QEvent::FocusOut);
  QApplication::sendEvent(&Window(), &focusOut);
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), std::make_pair(uint8_t{0x01}, uint8_t{0x00}));

  EXPECT_EQ(Panel(QStringLiteral("Release"), {QStringLiteral("START")}).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_FALSE(ShowsPressed(KeyIndex(TTerminalKey::Start)));
  const QDBusMessage unknown = Panel(QStringLiteral("Press"), {QStringLiteral("FOO")});
  EXPECT_EQ(unknown.type(), QDBusMessage::ErrorMessage);
  EXPECT_EQ(unknown.errorName(), QLatin1StringView(kUnknownKeyError));
  EXPECT_FALSE(Window().Keypad().IsDown(KeyIndex(TTerminalKey::Start)));

  // A tap without a line lets go after the limit.
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(Panel(QStringLiteral("Tap"), {QStringLiteral("stop")}).type(),
            QDBusMessage::ReplyMessage);
  EXPECT_GE(clock.elapsed(), TPanelBusObject::kTapLimitMs - 50);
  EXPECT_FALSE(Window().Keypad().IsDown(KeyIndex(TTerminalKey::Stop)));
}

TEST_F(PanelBusTest, DisplayChangesReachTheClientAsSignalsAndProperties) {
  TurnOn();
  TSignalLog log;
  const QString name = Automation().BusName();
  const QString path = QString::fromLatin1(kPanelObjectPath);
  ASSERT_TRUE(client->connect(name, path, QString::fromLatin1(kPanelInterface),
                              QStringLiteral("DisplayChanged"), &log,
                              SLOT(DisplayChanged(QStringList))));
  ASSERT_TRUE(client->connect(name, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                              QStringLiteral("PropertiesChanged"), &log,
                              SLOT(PropertiesChanged(QString, QVariantMap, QStringList))));
  Panel(QStringLiteral("Lines"));  // the match rules are in place once a call came back

  SetReply(0x0E, "Frekvencia 50Hz ");
  ShowDisplayMessage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !log.displays.isEmpty(); }, 3000));
  EXPECT_EQ(log.displays.last().value(2), QStringLiteral("Frekvencia 50Hz "));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return log.properties.contains(QStringLiteral("RunLed")); }, 3000));
  EXPECT_EQ(log.properties.value(QStringLiteral("ErrorLed")), QVariant(true));
  EXPECT_EQ(Property(QStringLiteral("ErrorLed")), QVariant(true));
  EXPECT_EQ(Property(QStringLiteral("GraphicMode")), QVariant(false));
  EXPECT_EQ(Panel(QStringLiteral("Lines")).arguments().value(0).toStringList(),
            Window().DisplayModel().TextLines());
}

TEST_F(PanelBusTest, TheInterfaceIsTheOneTheRepositoryDescribes) {
  TurnOn();
  QFile file(QStringLiteral(PANEL_INTERFACE_XML));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QSet<QString> described = Members(QString::fromUtf8(file.readAll()));
  const QDBusMessage reply =
      Call(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"), {});
  const QSet<QString> live = Members(reply.arguments().value(0).toString());
  EXPECT_EQ(described.size(), 12);
  EXPECT_EQ(live, described);
}

}  // namespace

#include "panel_bus_test.moc"
