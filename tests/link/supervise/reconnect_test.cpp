// The reconnect: a lost port opened again by itself, silently, at the tick
// or on a hot-plug event; a USB serial adapter found again under a new tty
// name; a port the user gave up never reopened; the saved port opened when it
// appears. The port is a fake; hot-plug events come from a fake source.
#include "reconnect.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "fake_port_control.h"
#include "port_map_watch.h"
#include "port_menu.h"
#include "pty_line.h"
#include "recording_link_host.h"
#include "watchdog.h"

namespace {

class TFakeHotPlug : public THotPlugSource {
 public:
  void Fire() { ReportPortsChanged(); }
};

class ReconnectTest : public testing::Test {
 protected:
  ReconnectTest() {
    QDir(root.path()).mkpath(QStringLiteral("dev/serial/by-id"));
    auto source = std::make_unique<TFakeHotPlug>();
    hotPlug = source.get();
    reconnect.AddHotPlugSource(std::move(source));
    port.SetOpenFailureReport(
        [this](const TOpenFailure &failure) { openFailures.Report(failure); });
  }

  TPortSources Sources() const {
    TPortSources sources;
    sources.ttyClassFolder = root.path() + QStringLiteral("/no-sysfs");
    sources.deviceFolder = root.path() + QStringLiteral("/dev");
    sources.serialByIdFolder = root.path() + QStringLiteral("/dev/serial/by-id");
    return sources;
  }
  // The adapter 'identity' is plugged in as 'tty' (udev's by-id link).
  void PlugAdapter(const QString &identity, const QString &tty) {
    const QString device = root.path() + QStringLiteral("/dev/") + tty;
    QFile(device).open(QIODevice::WriteOnly);
    QFile::link(device, Sources().serialByIdFolder + QLatin1Char('/') + identity);
  }
  void PullAdapter(const QString &identity, const QString &tty) {
    QFile::remove(Sources().serialByIdFolder + QLatin1Char('/') + identity);
    QFile::remove(root.path() + QStringLiteral("/dev/") + tty);
  }

  void OpenFromMenu(const QString &name) {
    menu.Menu_FindAvailablePortsClick();
    menu.Menu_OpenPortClick(menu.PositionOf(name));
    ASSERT_TRUE(port.connected);
  }
  void Tick() {
    state.ReceivedFrameCount = 0;
    watchdog.TimerTimer();
  }
  // A hot-plug event, handled once its burst has settled (20 ms).
  void HotPlug() {
    hotPlug->Fire();
    WaitUntil([] { return false; }, 100);
  }
  QString CheckedPort() const {
    return host.checkedPortItem < 0 ? QString() : host.portItems[host.checkedPortItem];
  }

  QTemporaryDir root;
  TLinkState state;
  TProgramSettings settings;
  TFakePortControl port;
  TRecordingLinkHost host;
  TOpenFailurePolicy openFailures{host};
  TPortMenu menu{settings, port, host, openFailures};
  TReconnect reconnect{menu, port, settings, host, openFailures, Sources()};
  TWatchdog watchdog{state, settings, port, host, menu};
  TFakeHotPlug *hotPlug = nullptr;
};

TEST_F(ReconnectTest, LostLineIsWaitedForSilentlyAndReopenedAtTheTick) {
  port.ports = {"ttyS0", "-", "USB1"};
  port.openable = {"ttyS0"};
  OpenFromMenu("ttyS0");

  port.lineLost = true;
  port.openable.clear();  // the line is not back yet
  Tick();
  EXPECT_FALSE(port.connected);
  EXPECT_EQ(port.closeCount, 1);
  EXPECT_EQ(port.openAttempts.back(), QStringLiteral("ttyS0"));
  EXPECT_TRUE(host.openFailuresShown.empty()) << "no dialog while retrying";
  EXPECT_EQ(host.statusScreens.back(), static_cast<int>(TStatusScreen::NoCommunication));
  EXPECT_EQ(host.portStatusText, QStringLiteral("ttyS0"));
  EXPECT_EQ(CheckedPort(), QStringLiteral("ttyS0"));
  EXPECT_TRUE(reconnect.WaitingForLostPort());

  port.openable = {"ttyS0"};
  Tick();
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.portName, QStringLiteral("ttyS0"));
  EXPECT_FALSE(reconnect.WaitingForLostPort());
  EXPECT_EQ(CheckedPort(), QStringLiteral("ttyS0"));
  EXPECT_EQ(settings.Port, QStringLiteral("ttyS0"));

  // A port that delivers is left alone by later ticks.
  const int closes = port.closeCount;
  Tick();
  EXPECT_EQ(port.closeCount, closes);
}

TEST_F(ReconnectTest, HotPlugRefreshesTheMenuWithoutTouchingTheOpenPortAndReopensALostOne) {
  port.ports = {"ttyS0", "-", "USB1"};
  port.openable = {"ttyS0", "USB1"};
  OpenFromMenu("USB1");

  port.ports = {"ttyS0", "ttyUSB0", "-", "USB1"};
  HotPlug();
  EXPECT_EQ(host.portItems, port.ports);
  EXPECT_EQ(CheckedPort(), QStringLiteral("USB1"));
  EXPECT_EQ(port.closeCount, 0);
  EXPECT_EQ(port.openAttempts.size(), 1);

  // The adapter pulled and plugged in again: back at once, not at the tick.
  port.lineLost = true;
  port.ports = {"ttyS0", "ttyUSB0"};
  port.openable = {"ttyS0"};
  HotPlug();
  EXPECT_FALSE(port.connected);
  EXPECT_EQ(host.portStatusText, QStringLiteral("USB1"));
  port.ports = {"ttyS0", "ttyUSB0", "-", "USB1"};
  port.openable = {"ttyS0", "USB1"};
  HotPlug();
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.portName, QStringLiteral("USB1"));
  EXPECT_EQ(CheckedPort(), QStringLiteral("USB1"));
}

TEST_F(ReconnectTest, UsbSerialAdapterIsFoundAgainUnderItsNewTtyName) {
  const QString adapter = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
  PlugAdapter(QStringLiteral("ttyUSB9"), QStringLiteral("ttyUSB9"));  // another adapter
  PlugAdapter(adapter, QStringLiteral("ttyUSB0"));
  port.ports = {"ttyUSB0", "ttyUSB9"};
  port.openable = {"ttyUSB0", "ttyUSB1", "ttyUSB9"};
  OpenFromMenu("ttyUSB0");
  EXPECT_EQ(reconnect.AdapterInUse(), adapter);

  port.lineLost = true;
  PullAdapter(adapter, QStringLiteral("ttyUSB0"));
  port.ports = {"ttyUSB9"};
  HotPlug();
  Tick();
  EXPECT_FALSE(port.connected) << "no other adapter is taken for it";
  EXPECT_EQ(port.openAttempts, QStringList{"ttyUSB0"});

  PlugAdapter(adapter, QStringLiteral("ttyUSB1"));
  port.ports = {"ttyUSB1", "ttyUSB9"};
  HotPlug();
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.portName, QStringLiteral("ttyUSB1"));
  EXPECT_EQ(settings.Port, QStringLiteral("ttyUSB1"));
  EXPECT_EQ(CheckedPort(), QStringLiteral("ttyUSB1"));
  EXPECT_EQ(host.portStatusText, QStringLiteral("ttyUSB1"));
}

TEST_F(ReconnectTest, PortTheUserReplacedOrClosedIsNeverReopened) {
  port.ports = {"ttyS0", "ttyS1"};
  port.openable = {"ttyS0"};
  OpenFromMenu("ttyS0");
  port.lineLost = true;
  menu.Menu_OpenPortClick(1);  // ttyS1 chosen instead; its open fails
  Tick();
  HotPlug();
  EXPECT_FALSE(port.openAttempts.mid(1).contains(QStringLiteral("ttyS0")));

  port.openable = {"ttyS0", "ttyS1"};
  Tick();  // the port chosen last is the one kept
  ASSERT_TRUE(port.connected);
  EXPECT_EQ(port.portName, QStringLiteral("ttyS1"));

  reconnect.ClosePort();
  const qsizetype attempts = port.openAttempts.size();
  Tick();
  HotPlug();
  EXPECT_FALSE(port.connected);
  EXPECT_EQ(port.openAttempts.size(), attempts);
  EXPECT_EQ(host.statusScreens.back(), static_cast<int>(TStatusScreen::NoPort));
}

TEST_F(ReconnectTest, ConverterSearchAloneChoosesPortsWhileItIsOn) {
  port.ports = {"ttyS0", "ttyS1"};
  port.openable = {"ttyS0", "ttyS1"};
  OpenFromMenu("ttyS0");
  settings.FindFreq = true;
  Tick();  // no frames: the search replaces ttyS0 by ttyS1
  ASSERT_EQ(port.portName, QStringLiteral("ttyS1"));
  EXPECT_EQ(reconnect.PortInUse(), QStringLiteral("ttyS1"));
  port.lineLost = true;
  HotPlug();
  EXPECT_TRUE(port.connected) << "the search closes it at its next tick";
  EXPECT_EQ(port.openAttempts, (QStringList{"ttyS0", "ttyS1"}));
}

TEST_F(ReconnectTest, SavedPortMissingAtStartIsOpenedWhenItAppears) {
  settings.Port = "VDRIVE1";
  port.ports = {"ttyS0"};
  menu.Menu_FindAvailablePortsClick();
  menu.OpenSavedPort();
  Tick();
  EXPECT_TRUE(port.openAttempts.isEmpty() || !port.connected);
  EXPECT_EQ(host.statusScreens.back(), static_cast<int>(TStatusScreen::NoPort));

  port.ports = {"ttyS0", "VDRIVE1"};
  port.openable = {"VDRIVE1"};
  HotPlug();
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.portName, QStringLiteral("VDRIVE1"));
  EXPECT_EQ(CheckedPort(), QStringLiteral("VDRIVE1"));
  EXPECT_EQ(host.portStatusText, QStringLiteral("VDRIVE1"));
}

TEST(PortMapWatch, ReportsEntriesAndTheFolderMadeLater) {
  QTemporaryDir runtime;
  const QString folder = runtime.path() + QStringLiteral("/sorvanel/ports");
  TPortMapWatch watch(folder);
  EXPECT_EQ(watch.WatchedFolder(), runtime.path());
  int reports = 0;
  watch.OnPortsChanged = [&] { ++reports; };

  QDir(runtime.path()).mkpath(QStringLiteral("sorvanel/ports"));
  ASSERT_TRUE(WaitUntil([&] { return watch.WatchedFolder() == folder; }, 3000));
  const int before = reports;
  QFile::link(QStringLiteral("/dev/null"), folder + QStringLiteral("/VDRIVE1"));
  EXPECT_TRUE(WaitUntil([&] { return reports > before; }, 3000));
}

TEST_F(ReconnectTest, NetworkPortThatTakesLongToFailIsNotRetriedAtEveryTick) {
  port.ports = {"plant"};
  port.networkPorts = {"plant"};
  port.openable = {"plant"};
  OpenFromMenu("plant");
  port.lineLost = true;
  port.openable.clear();
  // Refused at once: tried again at the next tick.
  Tick();
  Tick();
  EXPECT_EQ(port.openAttempts.size(), 3);
  // A host that does not answer holds the window for the whole attempt: the
  // next tick right after it leaves the port alone.
  port.onOpen = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
  Tick();
  EXPECT_EQ(port.openAttempts.size(), 4);
  Tick();
  EXPECT_EQ(port.openAttempts.size(), 4);
  EXPECT_TRUE(reconnect.WaitingForLostPort());
}

// An adapter plugged in while a network port connects again (after an alert
// closed it): its hot-plug event is handled once the port is open, so the
// rebuilt menu still checks the port's item.
TEST_F(ReconnectTest, HotPlugDuringANetworkPortsConnectKeepsItsItemChecked) {
  port.ports = {"plant"};
  port.networkPorts = {"plant"};
  port.openable = {"plant"};
  OpenFromMenu("plant");
  port.ClosePort();
  port.ports = {"plant", "ttyUSB0"};
  port.onOpen = [this] { HotPlug(); };
  ASSERT_TRUE(port.OpenPort());
  port.onOpen = nullptr;
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(host.portItems, (QStringList{"plant", "ttyUSB0"}));
  EXPECT_EQ(CheckedPort(), QStringLiteral("plant"));
}

}  // namespace
