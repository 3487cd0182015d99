// Building the port list from the tty class folder, the port map and the USB
// adapter count, and resolving a port name to the device it opens.
#include <gtest/gtest.h>
#include <memory>

#include "fake_usb_device.h"
#include "port_discovery.h"
#include "port_thread.h"
#include "pty_line.h"

namespace {

class PortSourcesTest : public testing::Test {
 protected:
  PortSourcesTest() {
    sources.ttyClassFolder = root.path() + QStringLiteral("/class/tty");
    sources.deviceFolder = root.path() + QStringLiteral("/dev");
    sources.portMapFolder = root.path() + QStringLiteral("/ports");
    QDir(root.path()).mkpath(QStringLiteral("class/tty"));
    QDir(root.path()).mkpath(QStringLiteral("ports"));
  }

  // A tty of the class folder; 'hardware' gives it a device link, 'uartType'
  // a type attribute.
  void AddTty(const QString &name, bool hardware, const QByteArray &uartType = QByteArray()) {
    const QString folder = sources.ttyClassFolder + QLatin1Char('/') + name;
    QDir().mkpath(folder);
    if (hardware) {
      QDir().mkpath(folder + QStringLiteral("/device"));
    }
    if (!uartType.isEmpty()) {
      QFile type(folder + QStringLiteral("/type"));
      type.open(QIODevice::WriteOnly);
      type.write(uartType + "\n");
    }
  }
  // A port map entry; its target exists unless 'dangling'.
  void AddMapped(const QString &name, bool dangling = false) {
    const QString target = root.path() + QStringLiteral("/target-") + name;
    if (!dangling) {
      QFile file(target);
      file.open(QIODevice::WriteOnly);
    }
    QFile::link(target, sources.portMapFolder + QLatin1Char('/') + name);
  }

  QStringList ListWithUsb(uint32_t usbCount, bool withSeparator = true) {
    auto device = std::make_unique<TFakeUsbDevice>();
    device->deviceCount = usbCount;
    TPortThread port(std::move(device), sources);
    return port.ListPorts(withSeparator);
  }

  QTemporaryDir root;
  TPortSources sources;
};

using PortList = PortSourcesTest;

TEST_F(PortList, NothingFoundGivesComOneToFive) {
  EXPECT_EQ(ListWithUsb(0), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5"}));
}

TEST_F(PortList, SerialNamesSortedIgnoringCaseThenSeparatorThenUsb) {
  AddMapped(QStringLiteral("COM2"));
  AddMapped(QStringLiteral("COM10"));
  AddMapped(QStringLiteral("COM1"));
  EXPECT_EQ(ListWithUsb(2), QStringList({"COM1", "COM10", "COM2", "-", "USB1", "USB2"}));
}

TEST_F(PortList, OnlyUsbAdaptersGiveNoSeparator) {
  EXPECT_EQ(ListWithUsb(3), QStringList({"USB1", "USB2", "USB3"}));
}

TEST_F(PortList, OnlySerialPortsEndWithTheSeparator) {
  AddTty(QStringLiteral("ttyUSB0"), true);
  EXPECT_EQ(ListWithUsb(0), QStringList({"ttyUSB0", "-"}));
  EXPECT_EQ(ListWithUsb(0, false), QStringList({"ttyUSB0"}));
}

TEST_F(PortList, FailedUsbCountGivesNoUsbEntries) {
  auto device = std::make_unique<TFakeUsbDevice>();
  device->deviceCount = 4;
  device->countStatus = TUsbStatus::OtherError;
  TPortThread port(std::move(device), sources);
  EXPECT_EQ(port.ListPorts(true), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5"}));
}

TEST_F(PortList, BothSourcesMergeIntoOneSortedList) {
  AddTty(QStringLiteral("ttyUSB0"), true);
  AddTty(QStringLiteral("ttyS0"), true, "4");
  AddMapped(QStringLiteral("com3"));
  AddMapped(QStringLiteral("COM20"));
  EXPECT_EQ(ListWithUsb(1), QStringList({"COM20", "com3", "ttyS0", "ttyUSB0", "-", "USB1"}));
}

TEST_F(PortList, VirtualTtysMissingUartsAndStaleMapEntriesAreLeftOut) {
  AddTty(QStringLiteral("tty0"), false);       // a virtual console
  AddTty(QStringLiteral("ttyS1"), true, "0");  // no UART fitted
  AddTty(QStringLiteral("ttyS2"), true, "4");
  AddMapped(QStringLiteral("COM9"), true);                            // its converter has ended
  QFile plain(sources.portMapFolder + QStringLiteral("/notes.txt"));  // not a link
  plain.open(QIODevice::WriteOnly);
  EXPECT_EQ(FindSerialPortNames(sources), QStringList({"ttyS2"}));
}

TEST_F(PortList, NameInBothSourcesIsListedOnce) {
  AddTty(QStringLiteral("ttyACM0"), true);
  AddMapped(QStringLiteral("ttyACM0"));
  EXPECT_EQ(FindSerialPortNames(sources), QStringList({"ttyACM0"}));
}

TEST(PortListLength, ListStaysWithinTheCountersRange) {
  QStringList many;
  for (int i = 0; i < 300; ++i) {
    many.append(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')));
  }
  EXPECT_EQ(BuildPortList(many, 5, true).size(), kMaxPortEntries);
  const QStringList some = many.mid(0, 250);
  const QStringList list = BuildPortList(some, 10, true);
  ASSERT_EQ(list.size(), kMaxPortEntries);
  EXPECT_EQ(list[250], QStringLiteral("-"));
  EXPECT_EQ(list.back(), QStringLiteral("USB4"));
  EXPECT_EQ(BuildPortList({}, 1000, true).size(), kMaxPortEntries);
}

using PortNameResolution = PortSourcesTest;

TEST_F(PortNameResolution, MapEntryOpensItsTarget) {
  AddMapped(QStringLiteral("COM7"));
  EXPECT_EQ(ResolvePortDevice(sources, QStringLiteral("COM7")),
            root.path() + QStringLiteral("/target-COM7"));
}

TEST_F(PortNameResolution, ClassTtyOpensItsDeviceNode) {
  AddTty(QStringLiteral("ttyUSB0"), true);
  EXPECT_EQ(ResolvePortDevice(sources, QStringLiteral("ttyUSB0")),
            sources.deviceFolder + QStringLiteral("/ttyUSB0"));
}

TEST_F(PortNameResolution, ComNameFoundNowhereOpensTheMatchingTtyS) {
  EXPECT_EQ(ResolvePortDevice(sources, QStringLiteral("COM1")),
            sources.deviceFolder + QStringLiteral("/ttyS0"));
  EXPECT_EQ(ResolvePortDevice(sources, QStringLiteral("COM12")),
            sources.deviceFolder + QStringLiteral("/ttyS11"));
  EXPECT_EQ(ResolvePortDevice(sources, QStringLiteral("COM0")),
            sources.deviceFolder + QStringLiteral("/COM0"));
  EXPECT_EQ(ResolvePortDevice(sources, QStringLiteral("com1")),
            sources.deviceFolder + QStringLiteral("/com1"));
}

TEST_F(PortNameResolution, NamesThatAreNotPlainFileNamesOpenNothing) {
  for (const char *name : {"", ".", "..", "../etc/passwd", "/dev/ttyS0", "a/b"}) {
    EXPECT_TRUE(ResolvePortDevice(sources, QString::fromLatin1(name)).isEmpty()) << name;
  }
}

}  // namespace
