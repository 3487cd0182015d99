// Hot-plug against fake devices: umockdev's preload library puts a test bed
// in place of /sys and of udev's event socket, so adapters are plugged and
// pulled with their sysfs attributes, udev properties and events, with no
// hardware. Run under umockdev-wrapper (the CTest command does).
#include <umockdev.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "fake_port_control.h"
#include "port_discovery.h"
#include "port_menu.h"
#include "pty_line.h"
#include "reconnect.h"
#include "recording_link_host.h"
#include "udev_monitor.h"

namespace {

bool InMockEnvironment() {
  const char *preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && QByteArray(preload).contains("libumockdev-preload");
}

// The fake /sys, with what udev and its rules would have added.
class TTestBed {
 public:
  TTestBed() : bed_(umockdev_testbed_new()) {
    root_ = QString::fromUtf8(Owned(umockdev_testbed_get_root_dir(bed_)));
    QDir(root_).mkpath(QStringLiteral("dev/serial/by-id"));
  }
  ~TTestBed() { g_object_unref(bed_); }
  TTestBed(const TTestBed &) = delete;
  TTestBed &operator=(const TTestBed &) = delete;

  // An FTDI chip on the USB bus, its serial number 'serial'; returns its
  // sysfs path.
  QByteArray AddFtdiChip(const char *name, const char *serial) {
    return Owned(umockdev_testbed_add_device(
        bed_, "usb", name, nullptr, "idVendor", "0403", "idProduct", "6001", "serial", serial,
        nullptr, "DEVTYPE", "usb_device", "PRODUCT", "403/6001/600", "ID_VENDOR_ID", "0403",
        "ID_MODEL_ID", "6001", "ID_SERIAL_SHORT", serial, nullptr));
  }
  QByteArray AddOtherUsbDevice(const char *name) {
    return Owned(umockdev_testbed_add_device(bed_, "usb", name, nullptr, "idVendor", "046d",
                                             nullptr, "DEVTYPE", "usb_device", "PRODUCT",
                                             "46d/c52b/1201", nullptr));
  }
  // The tty of the chip at 'parent', with its by-id link named 'identity'.
  QByteArray AddUsbTty(const QByteArray &parent, const char *tty, const QString &identity) {
    const QByteArray devName = QByteArray("/dev/") + tty;
    const QByteArray path = Owned(umockdev_testbed_add_device(
        bed_, "tty", tty, parent.constData(), "dev", "188:0", nullptr, "DEVNAME",
        devName.constData(), "ID_SERIAL", identity.toUtf8().constData(), nullptr));
    umockdev_testbed_set_attribute_link(bed_, path.constData(), "device", "..");
    QFile(DeviceFolder() + QLatin1Char('/') + QLatin1String(tty)).open(QIODevice::WriteOnly);
    QFile::link(QStringLiteral("../../%1").arg(QLatin1String(tty)),
                ByIdFolder() + QLatin1Char('/') + identity);
    return path;
  }
  // A tty with no hardware behind it (a virtual console) and built-in ports.
  void AddVirtualTty(const char *name) {
    Owned(umockdev_testbed_add_device(bed_, "tty", name, nullptr, nullptr, nullptr));
  }
  void AddBuiltInSerialPort(const char *name, const char *uartType) {
    const QByteArray port = QByteArray("serial8250.") + name;
    const QByteArray platform = Owned(
        umockdev_testbed_add_device(bed_, "platform", port.constData(), nullptr, nullptr, nullptr));
    const QByteArray path = Owned(umockdev_testbed_add_device(
        bed_, "tty", name, platform.constData(), "type", uartType, nullptr, nullptr));
    umockdev_testbed_set_attribute_link(bed_, path.constData(), "device", "..");
  }
  // udev's "remove" event, then the device is gone from /sys.
  void Remove(const QByteArray &path) {
    umockdev_testbed_uevent(bed_, path.constData(), "remove");
    umockdev_testbed_remove_device(bed_, path.constData());
  }
  void RemoveUsbTty(const QByteArray &path, const char *tty, const QString &identity) {
    QFile::remove(ByIdFolder() + QLatin1Char('/') + identity);
    QFile::remove(DeviceFolder() + QLatin1Char('/') + QLatin1String(tty));
    Remove(path);
  }

  QString DeviceFolder() const { return root_ + QStringLiteral("/dev"); }
  QString ByIdFolder() const { return root_ + QStringLiteral("/dev/serial/by-id"); }
  TPortSources Sources() const {
    TPortSources sources;  // /sys/class/tty as the test bed has it
    sources.deviceFolder = DeviceFolder();
    sources.serialByIdFolder = ByIdFolder();
    return sources;
  }

 private:
  static QByteArray Owned(gchar *text) {
    const QByteArray copy(text);
    g_free(text);
    return copy;
  }

  UMockdevTestbed *bed_;
  QString root_;
};

// A port whose list is the real one from the test bed's sysfs and whose opens
// work for the ttys the test bed has.
class TSysfsPort : public TFakePortControl {
 public:
  explicit TSysfsPort(TPortSources sources) : sources_(std::move(sources)) {}
  QStringList ListPorts(bool withSeparator) override {
    listedWithSeparator = withSeparator;
    return BuildPortList(FindSerialPortNames(sources_), std::nullopt, withSeparator);
  }
  bool OpenPort() override {
    const QStringList present = ListPorts(false);
    openable = QSet<QString>(present.begin(), present.end());
    return TFakePortControl::OpenPort();
  }

 private:
  TPortSources sources_;
};

class HotPlug : public testing::Test {
 protected:
  void SetUp() override {
    if (!InMockEnvironment()) {
      GTEST_SKIP() << "needs umockdev-wrapper";
    }
    bed = std::make_unique<TTestBed>();
  }
  // Runs the event loop until the monitor has reported, or a while longer.
  bool Reported(int &reports, int before, int limitMs = 2000) {
    return WaitUntil([&] { return reports > before; }, limitMs);
  }

  std::unique_ptr<TTestBed> bed;
};

TEST_F(HotPlug, MonitorReportsSerialAndFtdiAdaptersAndNothingElse) {
  TUdevMonitor monitor;
  ASSERT_TRUE(monitor.Active());
  int reports = 0;
  monitor.OnPortsChanged = [&] { ++reports; };

  const QByteArray chip = bed->AddFtdiChip("usb1", "A10K1234");
  EXPECT_TRUE(Reported(reports, 0)) << "an FTDI chip is a USB port";
  int seen = reports;
  const QByteArray tty = bed->AddUsbTty(chip, "ttyUSB0", QStringLiteral("usb-FTDI-port0"));
  EXPECT_TRUE(Reported(reports, seen)) << "a tty came";

  seen = reports;
  bed->AddOtherUsbDevice("usb2");
  EXPECT_FALSE(Reported(reports, seen, 300)) << "a mouse is no port";

  seen = reports;
  bed->Remove(tty);
  EXPECT_TRUE(Reported(reports, seen)) << "a tty went";
  seen = reports;
  bed->Remove(chip);
  EXPECT_TRUE(Reported(reports, seen)) << "an FTDI chip went";
}

TEST_F(HotPlug, SysfsPortListHasTheHardwareTtysOnly) {
  const QByteArray chip = bed->AddFtdiChip("usb1", "A10K1234");
  bed->AddUsbTty(chip, "ttyUSB0", QStringLiteral("usb-FTDI-port0"));
  bed->AddVirtualTty("tty1");
  bed->AddBuiltInSerialPort("ttyS0", "4");
  bed->AddBuiltInSerialPort("ttyS3", "0");  // no UART fitted
  EXPECT_EQ(FindSerialPortNames(bed->Sources()), (QStringList{"ttyS0", "ttyUSB0"}));
}

TEST_F(HotPlug, AdapterPluggedBackAsAnotherTtyIsReopenedAndTheMenuFollows) {
  const QString identity = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
  const QByteArray chip = bed->AddFtdiChip("usb1", "A10K1234");
  const QByteArray tty = bed->AddUsbTty(chip, "ttyUSB0", identity);

  TProgramSettings settings;
  TSysfsPort port(bed->Sources());
  TRecordingLinkHost host;
  TPortMenu menu(settings, port, host);
  TReconnect reconnect(menu, port, settings, host, bed->Sources());
  reconnect.AddHotPlugSource(std::make_unique<TUdevMonitor>());
  menu.Menu_FindAvailablePortsClick();
  menu.Menu_OpenPortClick(menu.PositionOf(QStringLiteral("ttyUSB0")));
  ASSERT_TRUE(port.connected);
  EXPECT_EQ(reconnect.AdapterInUse(), identity);

  // Pulled: the line is lost, the item goes, the name stays shown.
  port.lineLost = true;
  bed->RemoveUsbTty(tty, "ttyUSB0", identity);
  ASSERT_TRUE(WaitUntil([&] { return !host.portItems.contains(QStringLiteral("ttyUSB0")); }));
  EXPECT_FALSE(port.connected);
  EXPECT_EQ(host.portStatusText, QStringLiteral("ttyUSB0"));

  // Another adapter takes ttyUSB0; ours comes back as ttyUSB1.
  const QByteArray other = bed->AddFtdiChip("usb2", "B20K0001");
  bed->AddUsbTty(other, "ttyUSB0", QStringLiteral("usb-FTDI_other-if00-port0"));
  ASSERT_TRUE(WaitUntil([&] { return host.portItems.contains(QStringLiteral("ttyUSB0")); }));
  EXPECT_FALSE(port.connected) << "another adapter is not ours";
  bed->AddUsbTty(chip, "ttyUSB1", identity);
  ASSERT_TRUE(WaitUntil([&] { return port.connected; }));
  EXPECT_EQ(port.portName, QStringLiteral("ttyUSB1"));
  EXPECT_EQ(settings.Port, QStringLiteral("ttyUSB1"));
  EXPECT_EQ(host.portItems, (QStringList{"ttyUSB0", "ttyUSB1", "-"}));
  EXPECT_EQ(host.checkedPortItem, 1);
  EXPECT_EQ(host.portStatusText, QStringLiteral("ttyUSB1"));
  EXPECT_FALSE(port.showOpenErrorsAtOpen.back());
}

}  // namespace
