// The port menu, the converter search it runs and the watchdog tick that
// drives it.
#include "port_menu.h"

#include <gtest/gtest.h>

#include "fake_port_control.h"
#include "recording_dialogs.h"
#include "recording_link_host.h"
#include "watchdog.h"

namespace {

class PortMenuTest : public testing::Test {
 protected:
  PortMenuTest() {
    port.SetOpenFailureReport(
        [this](const TOpenFailure &failure) { openFailures.Report(failure); });
  }
  void Build(const QStringList &ports) {
    port.ports = ports;
    menu.Menu_FindAvailablePortsClick();
  }
  void Silence() { state.ReceivedFrameCount = 0; }

  TLinkState state;
  TProgramSettings settings;
  TFakePortControl port;
  TRecordingLinkHost host;
  TRecordingDialogs dialogs;
  TOpenFailurePolicy openFailures{host};
  TPortMenu menu{settings, port, host, openFailures};
  TWatchdog watchdog{state, settings, port, host, menu};
};

const QStringList kSearchList{"COM1", "-", "USB1"};

// --- building the port items ---

using PortMenuBuild = PortMenuTest;

TEST_F(PortMenuBuild, ItemsFollowThePortListAndTheScanRestarts) {
  const QStringList ports{"COM1", "COM10", "COM2", "-", "USB1", "USB2"};
  Build(ports);
  EXPECT_TRUE(port.listedWithSeparator);
  EXPECT_EQ(host.portItems, ports);
  EXPECT_EQ(menu.PortEntryCount(), 6);
  EXPECT_EQ(menu.ScanPosition(), 0);
  EXPECT_EQ(host.checkedPortItem, -1);
  EXPECT_EQ(menu.Hint(2), QStringLiteral("COM2"));
  EXPECT_TRUE(menu.Hint(3).isEmpty());
  EXPECT_TRUE(menu.Hint(6).isEmpty());
  EXPECT_TRUE(port.openAttempts.isEmpty());
}

TEST_F(PortMenuBuild, ListIsKeptWithinTheCountersRange) {
  QStringList ports;
  for (int i = 1; i <= 300; ++i) {
    ports.append(QStringLiteral("ttyX%1").arg(i));
  }
  Build(ports);
  EXPECT_EQ(host.portItems.size(), 255);
  EXPECT_EQ(menu.PortEntryCount(), 255);

  // A full search pass wraps within the list.
  settings.FindFreq = true;
  watchdog.TimerTimer();
  EXPECT_EQ(port.openAttempts.size(), 255);
  EXPECT_EQ(menu.ScanPosition(), 0);
}

TEST_F(PortMenuBuild, RebuildWhileOpenReopensTheSavedPortAndChecksIt) {
  port.openable = {"USB1"};
  port.connected = true;
  port.portName = "USB1";
  settings.Port = "USB1";
  Build(kSearchList);
  EXPECT_EQ(port.closeCount, 1);
  EXPECT_EQ(port.openAttempts, QStringList{"USB1"});
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(host.checkedPortItem, 2);
  EXPECT_EQ(host.portStatusText, QStringLiteral("USB1"));
}

TEST_F(PortMenuBuild, RebuildWhileOpenWithAnUnlistedNameLeavesThePortOpen) {
  port.connected = true;
  settings.Port = "ttyACM0";
  Build(kSearchList);
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.closeCount, 0);
  EXPECT_EQ(host.checkedPortItem, -1);
}

TEST_F(PortMenuBuild, RebuildWithThePortClosedOpensNothing) {
  port.openable = {"USB1"};
  settings.Port = "USB1";
  Build(kSearchList);
  EXPECT_TRUE(port.openAttempts.isEmpty());
}

// --- opening from the menu ---

using PortMenuOpen = PortMenuTest;

TEST_F(PortMenuOpen, FailedOpenUnchecksTheItemButKeepsTheName) {
  Build(kSearchList);
  menu.Menu_OpenPortClick(0);
  EXPECT_EQ(port.openAttempts, QStringList{"COM1"});
  EXPECT_EQ(host.openFailuresShown.size(), 1u);  // chosen by the user: shown
  EXPECT_EQ(host.processEventsCount, 1);
  EXPECT_EQ(host.checkedPortItem, -1);
  EXPECT_EQ(host.portStatusText, QStringLiteral("-"));
  EXPECT_EQ(settings.Port, QStringLiteral("COM1"));
}

TEST_F(PortMenuOpen, OpeningAnotherPortClosesTheOpenOne) {
  port.openable = {"COM1", "USB1"};
  Build(kSearchList);
  menu.Menu_OpenPortClick(2);
  EXPECT_EQ(host.checkedPortItem, 2);
  menu.Menu_OpenPortClick(0);
  EXPECT_EQ(port.closeCount, 1);
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.portName, QStringLiteral("COM1"));
  EXPECT_EQ(host.checkedPortItem, 0);
  EXPECT_EQ(host.portStatusText, QStringLiteral("COM1"));
  EXPECT_EQ(settings.Port, QStringLiteral("COM1"));
}

TEST_F(PortMenuOpen, SeparatorAndPositionsOutsideTheListDoNothing) {
  Build(kSearchList);
  menu.Menu_OpenPortClick(1);
  menu.Menu_OpenPortClick(3);
  menu.Menu_OpenPortClick(-1);
  EXPECT_TRUE(port.openAttempts.isEmpty());
  EXPECT_TRUE(settings.Port.isEmpty());
}

TEST_F(PortMenuOpen, SavedPortMatchesItsNameExactly) {
  port.openable = {"COM1"};
  Build(kSearchList);
  settings.Port = "com1";
  menu.OpenSavedPort();
  EXPECT_TRUE(port.openAttempts.isEmpty());
  settings.Port = "COM1";
  menu.OpenSavedPort();
  EXPECT_EQ(port.openAttempts, QStringList{"COM1"});
  EXPECT_EQ(host.checkedPortItem, 0);
}

TEST_F(PortMenuOpen, FindConverterItemTogglesTheSearch) {
  menu.Menu_FindFrequencyConverterClick();
  EXPECT_TRUE(settings.FindFreq);
  EXPECT_TRUE(host.findConverterChecked);
  menu.Menu_FindFrequencyConverterClick();
  EXPECT_FALSE(settings.FindFreq);
  EXPECT_FALSE(host.findConverterChecked);
  EXPECT_TRUE(port.openAttempts.isEmpty());
}

// A port named at start is for that run only: the settings file keeps the port saved before,
// unless a port is chosen during the run, by a click or by the converter search.
TEST_F(PortMenuOpen, APortNamedAtStartIsSavedOnlyWhenAPortIsChosen) {
  port.openable = {"USB1"};
  settings.Port = "COM1";
  Build(kSearchList);
  menu.UseForThisRun("USB1");
  menu.OpenSavedPort();
  menu.Menu_FindAvailablePortsClick();  // reopens the port in use
  menu.Menu_OpenPortClick(1);           // a separator
  ASSERT_EQ(port.openAttempts, (QStringList{"USB1", "USB1"}));
  EXPECT_EQ(settings.Port, QStringLiteral("USB1"));
  EXPECT_EQ(menu.PortToSave(), QStringLiteral("COM1"));
  menu.Menu_OpenPortClick(2);  // the same port, but chosen
  EXPECT_EQ(menu.PortToSave(), QStringLiteral("USB1"));

  settings.Port = "ttyS9";
  TPortMenu clicked{settings, port, host, openFailures};
  clicked.Menu_FindAvailablePortsClick();
  clicked.UseForThisRun("USB1");
  clicked.Menu_OpenPortClick(0);  // fails, yet the user chose it
  EXPECT_EQ(clicked.PortToSave(), QStringLiteral("COM1"));
  clicked.UseForThisRun(QString());  // no port named: nothing changes
  EXPECT_EQ(settings.Port, QStringLiteral("COM1"));

  port.ClosePort();
  settings.Port = "COM1";
  TPortMenu searched{settings, port, host, openFailures};
  searched.Menu_FindAvailablePortsClick();
  searched.UseForThisRun("plant");
  port.openable.clear();
  searched.RunConverterSearch();
  EXPECT_EQ(searched.PortToSave(), QStringLiteral("COM1")) << "a search that found nothing";
  port.openable = {"USB1"};
  searched.RunConverterSearch();
  ASSERT_TRUE(port.connected);
  EXPECT_EQ(searched.PortToSave(), QStringLiteral("USB1"));
}

// --- the watchdog tick ---

using Watchdog = PortMenuTest;

TEST_F(Watchdog, FramesDuringThePeriodOnlyResetTheCount) {
  port.openable = {"USB1"};
  Build(kSearchList);
  menu.Menu_OpenPortClick(2);
  settings.FindFreq = true;
  state.ReceivedFrameCount = 7;
  state.ConverterConnected = true;
  state.SendSkipCount = 0;
  watchdog.TimerTimer();
  EXPECT_EQ(state.ReceivedFrameCount, 0);
  EXPECT_TRUE(state.ConverterConnected);
  EXPECT_EQ(state.SendSkipCount, 0);
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.closeCount, 0);
  EXPECT_TRUE(host.statusScreens.empty());
}

TEST_F(Watchdog, SilentSecondHoldsAnswersBackAndMarksTheConverterAbsent) {
  state.ConverterConnected = true;
  port.connected = true;
  watchdog.TimerTimer();
  EXPECT_EQ(state.SendSkipCount, 5);
  EXPECT_FALSE(state.ConverterConnected);
  EXPECT_EQ(host.statusBarRepaints, 1);
  EXPECT_EQ(host.statusScreens, std::vector<int>{1});

  port.connected = false;
  watchdog.TimerTimer();
  EXPECT_EQ(host.statusBarRepaints, 1);  // already absent: no repaint
  EXPECT_EQ(host.statusScreens, (std::vector<int>{1, 2}));
  EXPECT_EQ(port.closeCount, 0);
}

// --- the converter search ---

using ConverterSearch = PortMenuTest;

TEST_F(ConverterSearch, WalksTheListSkippingSeparatorsAndFailedPorts) {
  port.openable = {"USB1"};
  Build(kSearchList);
  settings.FindFreq = true;

  watchdog.TimerTimer();  // position 1 (separator), then 2 (USB1 opens)
  EXPECT_EQ(port.openAttempts, QStringList{"USB1"});
  EXPECT_FALSE(openFailures.Shown());
  EXPECT_EQ(menu.ScanTries(), 2);
  EXPECT_EQ(menu.ScanPosition(), 2);
  EXPECT_EQ(host.processEventsCount, 1);  // the separator costs no event processing
  EXPECT_EQ(host.checkedPortItem, 2);
  EXPECT_EQ(host.portStatusText, QStringLiteral("USB1"));
  EXPECT_EQ(settings.Port, QStringLiteral("USB1"));
  EXPECT_EQ(host.statusScreens, std::vector<int>{3});

  Silence();
  watchdog.TimerTimer();  // closes USB1; 0 (COM1 fails), 1 (separator), 2 (USB1)
  EXPECT_EQ(port.closeCount, 1);
  EXPECT_EQ(port.openAttempts, (QStringList{"USB1", "COM1", "USB1"}));
  EXPECT_EQ(menu.ScanTries(), 3);
  EXPECT_EQ(host.processEventsCount, 3);
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(host.statusScreens, (std::vector<int>{3, 3}));
}

TEST_F(ConverterSearch, PassesOverNetworkPortsWhichOpenByNameOnly) {
  port.openable = {"plant", "USB1"};
  port.networkPorts = {"plant"};
  Build({"COM1", "plant", "-", "USB1"});
  settings.FindFreq = true;
  watchdog.TimerTimer();  // 1 (plant, passed over), 2 (separator), 3 (USB1 opens)
  EXPECT_EQ(port.openAttempts, QStringList{"USB1"});
  EXPECT_EQ(menu.ScanTries(), 3);
  EXPECT_EQ(host.processEventsCount, 1);

  // Chosen by name, it opens; a tick that falls into its open (timers run
  // while a network port connects) is skipped, so it cannot start a search.
  const size_t screens = host.statusScreens.size();
  port.onOpen = [this] { watchdog.TimerTimer(); };
  menu.Menu_OpenPortClick(1);
  EXPECT_EQ(port.openAttempts, (QStringList{"USB1", "plant"}));
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(host.statusScreens.size(), screens);
  EXPECT_EQ(settings.Port, QStringLiteral("plant"));
}

TEST_F(ConverterSearch, NoOpenablePortTriesEveryPositionSilently) {
  Build({"COM1", "COM2", "COM3", "COM4", "COM5"});
  settings.FindFreq = true;
  watchdog.TimerTimer();
  watchdog.TimerTimer();
  EXPECT_EQ(port.openAttempts.size(), 10);
  EXPECT_EQ(menu.ScanTries(), 5);
  EXPECT_TRUE(host.openFailuresShown.empty());
  EXPECT_FALSE(openFailures.Shown());
  EXPECT_TRUE(settings.Port.isEmpty());
  EXPECT_EQ(host.statusScreens, (std::vector<int>{3, 3}));
  EXPECT_TRUE(dialogs.records.empty());
}

TEST_F(ConverterSearch, PortFoundEarlierStaysShownWhenNothingOpens) {
  port.openable = {"USB1"};
  Build(kSearchList);
  settings.FindFreq = true;
  watchdog.TimerTimer();
  port.openable.clear();
  Silence();
  watchdog.TimerTimer();
  EXPECT_FALSE(port.connected);
  EXPECT_TRUE(settings.Port.isEmpty());
  EXPECT_EQ(host.checkedPortItem, 2);
  EXPECT_EQ(host.portStatusText, QStringLiteral("USB1"));
}

TEST_F(ConverterSearch, FrameInTheSameSecondKeepsTheFoundPort) {
  port.openable = {"COM1", "USB1"};
  Build(kSearchList);
  settings.FindFreq = true;
  // A frame is handed over while the search lets events run after the open.
  host.onProcessEvents = [&] { ++state.ReceivedFrameCount; };
  watchdog.TimerTimer();
  host.onProcessEvents = nullptr;
  ASSERT_TRUE(port.connected);
  watchdog.TimerTimer();
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.closeCount, 0);
  EXPECT_EQ(port.openAttempts, QStringList{"USB1"});
}

TEST_F(ConverterSearch, TurningTheSearchOffLeavesTheOpenPort) {
  port.openable = {"USB1"};
  Build(kSearchList);
  settings.FindFreq = true;
  watchdog.TimerTimer();
  menu.Menu_FindFrequencyConverterClick();
  Silence();
  watchdog.TimerTimer();
  EXPECT_TRUE(port.connected);
  EXPECT_EQ(port.closeCount, 0);
  EXPECT_EQ(host.statusScreens, (std::vector<int>{3, 1}));
}

TEST_F(ConverterSearch, TickArrivingDuringASlowTickIsSkipped) {
  Build({"COM1", "COM2", "COM3"});
  settings.FindFreq = true;
  int nestedTicks = 0;
  host.onProcessEvents = [&] {
    ++nestedTicks;
    watchdog.TimerTimer();
  };
  watchdog.TimerTimer();
  EXPECT_EQ(nestedTicks, 3);
  EXPECT_EQ(port.openAttempts.size(), 3);
  EXPECT_EQ(host.statusScreens, std::vector<int>{3});

  host.onProcessEvents = nullptr;
  watchdog.TimerTimer();  // the guard is released once the tick is over
  EXPECT_EQ(port.openAttempts.size(), 6);
}

TEST_F(ConverterSearch, TickDuringAClickLeavesThePortToTheClick) {
  port.openable = {"USB1"};
  Build(kSearchList);
  settings.FindFreq = true;
  // The click's event processing (or its open-error dialog) reaches a tick:
  // a search run from there would open USB1 under the failed click. The tick
  // still tells the display that no port is open.
  host.onProcessEvents = [&] { watchdog.TimerTimer(); };
  menu.Menu_OpenPortClick(0);  // COM1 does not open
  host.onProcessEvents = nullptr;
  EXPECT_EQ(port.openAttempts, QStringList{"COM1"});
  EXPECT_FALSE(port.connected);
  EXPECT_EQ(host.checkedPortItem, -1);
  EXPECT_EQ(host.portStatusText, QStringLiteral("-"));
  EXPECT_EQ(host.statusScreens, std::vector<int>{static_cast<int>(TStatusScreen::NoPort)});

  watchdog.TimerTimer();  // the next tick, after the click, searches
  EXPECT_TRUE(port.connected);
}

TEST_F(ConverterSearch, ListRebuiltDuringTheSearchIsFollowedSafely) {
  Build({"COM1", "COM2", "COM3", "COM4", "COM5"});
  settings.FindFreq = true;
  host.onProcessEvents = [&] {
    host.onProcessEvents = nullptr;
    Build({"USB1"});
  };
  watchdog.TimerTimer();
  EXPECT_LE(port.openAttempts.size(), 2);
  EXPECT_EQ(menu.PortEntryCount(), 1);
}

}  // namespace
