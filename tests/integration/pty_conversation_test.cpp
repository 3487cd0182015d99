// A conversation between the real main window and a converter played by the
// test over a pseudo-terminal registered in the window's port map: display,
// LEDs, the answer hold-off, keys, terminal memory and memory file, the
// watchdog and the programming-terminal alerts.
#include <QAction>
#include <QMenu>

#include "line_monitor.h"
#include "program_fixture.h"
#include "pty_drive.h"
#include "status_bar.h"

namespace integration {
namespace {

using link_test::TDecodedRequest;

class PtyConversation : public ProgramTest {
 protected:
  // Starts the window on the drive's port. The exchange tests keep the
  // watchdog out of the way: on a loaded machine a second may pass between
  // two steps, and the watchdog would then hold back five more answers.
  void Start(bool watchdog = false) {
    StartWindowOn(drive);
    if (!watchdog) {
      Window().Timer()->stop();
    }
  }

  // The five messages after the start that the program leaves unanswered.
  void PassHoldOff() {
    for (int i = 0; i < 5; ++i) {
      ASSERT_TRUE(drive.Deliver(DisplayPayload(3, "                ")));
    }
    ASSERT_TRUE(drive.Answers(100).empty());
  }

  TDecodedRequest Exchange() { return drive.Exchange(DisplayPayload(3, "  key exchange  ")); }

  TPtyDrive drive;
};

TEST_F(PtyConversation, SavedPortIsOpenedAtStartAndItsItemChecked) {
  Start();
  EXPECT_TRUE(Window().DriveLink().Port().Connected());
  ASSERT_NE(PortItem(QStringLiteral("PTYDRIVE")), nullptr);
  EXPECT_TRUE(PortItem(QStringLiteral("PTYDRIVE"))->isChecked());
  EXPECT_EQ(Window().StatusBar()->PanelText(0), QStringLiteral("PTYDRIVE"));
  EXPECT_TRUE(dialogs.records.empty());
}

TEST_F(PtyConversation, FirstFiveMessagesGoUnansweredThenEveryOneIsAnswered) {
  Start();
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(drive.Deliver(DisplayPayload(static_cast<uint8_t>(i % 4), "Message number  ")))
        << "message " << i;
    const std::vector<QByteArray> answers = drive.Answers(i < 5 ? 150 : 2000);
    if (i < 5) {
      EXPECT_TRUE(answers.empty()) << "message " << i << " was answered";
    } else {
      ASSERT_EQ(answers.size(), 1u) << "message " << i;
      EXPECT_TRUE(link_test::DecodeRequest(answers.front()).valid);
    }
  }
  EXPECT_TRUE(Window().LinkState().ConverterConnected);
}

TEST_F(PtyConversation, DisplayLinesAndLedsShowInBothSizes) {
  Start();
  ASSERT_TRUE(drive.Deliver(DisplayPayload(0x00, "Kimenet  12.5 Hz")));
  ASSERT_TRUE(drive.Deliver(DisplayPayload(0x01, "Param. ment\x82se  ")));
  ASSERT_TRUE(drive.Deliver(DisplayPayload(0x0E, "\x7E El\x93re  \xA0ll    ")));
  for (int size : {kSizeBig, kSizeSmall}) {
    EXPECT_EQ(Line(size, 0), QStringLiteral("Kimenet  12.5 Hz"));
    EXPECT_EQ(Line(size, 1), QString::fromUtf8("Param. mentése  "));
    EXPECT_EQ(Line(size, 2), QString::fromUtf8("» Előre  áll    "));
    EXPECT_EQ(ErrorLed(size), QColor(255, 0, 0));
    EXPECT_EQ(RunLed(size), QColor(0, 128, 0));
  }
  ASSERT_TRUE(drive.Deliver(DisplayPayload(0x03, "Terhel\x82s    40 %")));
  for (int size : {kSizeBig, kSizeSmall}) {
    EXPECT_EQ(Line(size, 3), QString::fromUtf8("Terhelés    40 %"));
    EXPECT_EQ(ErrorLed(size), TDisplayRenderer::ButtonFace());
    EXPECT_EQ(RunLed(size), TDisplayRenderer::ButtonFace());
  }
}

TEST_F(PtyConversation, KeysPressedInTheWindowTravelInTheAnswers) {
  Start();
  PassHoldOff();
  EXPECT_EQ(Exchange().keyState0, 0x00);

  // START (bit 0x01 of key byte 0) by mouse: held while pressed, and for
  // one more answer after the release.
  QTest::mousePress(KeyImage(kKeyStart), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  TDecodedRequest answer = Exchange();
  ASSERT_TRUE(answer.valid);
  EXPECT_EQ(answer.keyState0, 0x01);
  EXPECT_EQ(Exchange().keyState0, 0x01);
  QTest::mouseRelease(KeyImage(kKeyStart), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(Exchange().keyState0, 0x01);
  EXPECT_EQ(Exchange().keyState0, 0x00);

  // S (stop, 0x02 of byte 0) and the up arrow (0x04 of byte 1) from the
  // keyboard, both held at once.
  QTest::keyPress(&Window(), Qt::Key_S);
  QTest::keyPress(&Window(), Qt::Key_Up);
  answer = Exchange();
  EXPECT_EQ(answer.keyState0, 0x02);
  EXPECT_EQ(answer.keyState1, 0x04);
  QTest::keyRelease(&Window(), Qt::Key_S);
  // A key-up goes to the drive once no auto-repeat press has followed it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Window().KeyInput().IsHeld(kKeyStop); }, 2000));
  EXPECT_EQ(Exchange().keyState0, 0x02);
  answer = Exchange();
  EXPECT_EQ(answer.keyState0, 0x00);
  EXPECT_EQ(answer.keyState1, 0x04) << "the arrow is still held";
  QTest::keyRelease(&Window(), Qt::Key_Up);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Window().KeyInput().IsHeld(kKeyUp); }, 2000));
  Exchange();
  EXPECT_EQ(Exchange().keyState1, 0x00);

  // A click between two messages still reaches the converter, once.
  ClickKey(kKeyEnter);  // 0x08 of byte 0
  EXPECT_EQ(Exchange().keyState0, 0x08);
  EXPECT_EQ(Exchange().keyState0, 0x00);
}

TEST_F(PtyConversation, MemoryWritesLandInTheMemoryFileAtClose) {
  Start();
  PassHoldOff();
  EXPECT_FALSE(Window().MemorySaveItem()->isEnabled());
  const std::vector<uint8_t> block{'P', 'S', 'E', 'T', 1,    11,   0,    22,
                                   0,   7,   0,   0,   0x12, 0x34, 0x56, 0x78};
  EXPECT_TRUE(drive.Exchange(MemoryWritePayload(0x0100, block)).valid);
  std::vector<uint8_t> last(16);
  for (int i = 0; i < 16; ++i) {
    last[i] = static_cast<uint8_t>(0xF0 + i);
  }
  EXPECT_TRUE(drive.Exchange(MemoryWritePayload(0x1FF0, last)).valid);
  EXPECT_TRUE(Window().MemorySaveItem()->isEnabled());

  CloseWindow();
  const QByteArray file = folders.ReadFile(folders.MemoryFilePath());
  ASSERT_EQ(file.size(), 8227);
  EXPECT_EQ(file.left(35), ScrambledMemoryFileHeader());
  QByteArray image(8192, '\0');
  image.replace(0x0100, 16, QByteArray(reinterpret_cast<const char *>(block.data()), 16));
  image.replace(0x1FF0, 16, QByteArray(reinterpret_cast<const char *>(last.data()), 16));
  EXPECT_EQ(file.mid(35), image);
}

TEST_F(PtyConversation, MemoryReadsAreAnsweredFromTheMemoryFileFoundAtStart) {
  folders.WriteFile(folders.MemoryFilePath(),
                    MemoryFileWith(0x0200, QByteArray("\xAB\xCD\x12\x34", 4)));
  Start();
  PassHoldOff();
  TDecodedRequest answer = drive.Exchange(MemoryReadPayload(0x0200, "Bet\x94lt\x82s 1/19   "));
  ASSERT_TRUE(answer.valid);
  EXPECT_EQ(answer.address, 0x0200);
  EXPECT_EQ(answer.value, 0xABCD);
  EXPECT_EQ(Line(kSizeBig, 3), QString::fromUtf8("Betöltés 1/19   ")) << "the read carries a line";
  answer = drive.Exchange(MemoryReadPayload(0x0202, "Bet\x94lt\x82s 2/19   "));
  EXPECT_EQ(answer.address, 0x0202);
  EXPECT_EQ(answer.value, 0x1234);
  answer = Exchange();
  EXPECT_EQ(answer.address, 0x0000) << "address and value go out once";
  EXPECT_EQ(answer.value, 0x0000);
}

TEST_F(PtyConversation, WatchdogShowsNoCommunicationAfterASilentSecond) {
  Start(true);
  ASSERT_TRUE(drive.Deliver(DisplayPayload(0x0A, "Kimenet  12.5 Hz")));
  EXPECT_TRUE(Window().LinkState().ConverterConnected);
  EXPECT_EQ(RunLed(kSizeBig), QColor(0, 128, 0));
  // The drive falls silent: within two ticks the display says so.
  ASSERT_TRUE(WaitUntil([&] { return ShowsStatusScreenNoCommunication(); }, 4000))
      << Line(kSizeBig, 2).toStdString();
  EXPECT_EQ(Line(kSizeBig, 0), QStringLiteral("    Sorvanel"));
  EXPECT_FALSE(Window().LinkState().ConverterConnected);
  EXPECT_EQ(RunLed(kSizeBig), TDisplayRenderer::ButtonFace());
  EXPECT_EQ(Window().LinkState().SendSkipCount, 5);
  EXPECT_TRUE(Window().DriveLink().Port().Connected()) << "the port stays open";
  EXPECT_TRUE(dialogs.records.empty());

  // When it talks again, its lines replace the status screen.
  ASSERT_TRUE(drive.Deliver(DisplayPayload(0x02, "Alapjel  25.0 Hz")));
  EXPECT_EQ(Line(kSizeBig, 2), QStringLiteral("Alapjel  25.0 Hz"));
  EXPECT_TRUE(Window().LinkState().ConverterConnected);
}

// The line monitor opened a while after the port, on a busy line: the time before it opened
// is no silence, so it counts at most the seconds it has been watching.
TEST_F(PtyConversation, LineMonitorOpenedLaterCountsNoSilenceOnABusyLine) {
  using namespace std::chrono_literals;
  Start();
  const TLinkTime opened = Window().DriveLink().Port().OpenedAt();
  while (TLinkClock::now() - opened < 1500ms) {
    ASSERT_TRUE(drive.Deliver(DisplayPayload(3, "   busy line    ")));
  }
  const TLinkTime watchedFrom = TLinkClock::now();
  Window().Menu_LineMonitorClick();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(drive.Deliver(DisplayPayload(3, "   busy line    ")));
  }
  const TLineStatistics &statistics = Window().LineMonitor()->Statistics();
  const TLinkTime now = TLinkClock::now();
  EXPECT_EQ(statistics.DriveMessages(), 3u);
  EXPECT_LE(statistics.SilentSeconds(now),
            static_cast<uint64_t>(
                std::chrono::duration_cast<std::chrono::seconds>(now - watchedFrom).count()));
}

TEST_F(PtyConversation, ProgrammingTerminalAlertsStopTheLinkWhileShown) {
  Start();
  PassHoldOff();
  struct TSeen {
    bool timerActive;
    bool portOpen;
  };
  std::vector<TSeen> seen;
  dialogs.onShow = [&] {
    seen.push_back({Window().Timer()->isActive(), Window().DriveLink().Port().Connected()});
  };
  // The watchdog runs again after each alert.
  Window().Timer()->start();
  dialogs.checkBoxAnswer = false;  // "do not warn me next time"

  // The alert numbered 'count' says 'headline'; while it was shown the
  // watchdog stood still and the port was closed; the watchdog runs again now.
  const auto expectAlertShownWithTheLinkStopped = [&](size_t count, const QString &headline) {
    ASSERT_EQ(dialogs.records.size(), count);
    EXPECT_EQ(dialogs.last().headline, headline);
    ASSERT_EQ(seen.size(), count);
    EXPECT_FALSE(seen.back().timerActive);
    EXPECT_FALSE(seen.back().portOpen);
    EXPECT_TRUE(Window().Timer()->isActive());
  };

  ASSERT_TRUE(drive.Deliver(kProgTermPayload));
  EXPECT_TRUE(drive.Answers(150).empty()) << "a programming terminal's frame is never answered";
  ASSERT_NO_FATAL_FAILURE(expectAlertShownWithTheLinkStopped(1, GetText(kTextProgTermConnected)));
  EXPECT_TRUE(Window().DriveLink().Port().Connected());
  EXPECT_FALSE(MenuItem("Menu_ProgTermAlertOnConnect")->isChecked());

  // Three converter messages without a terminal frame: it has gone. The
  // reopened port carries every answer.
  dialogs.checkBoxAnswer.reset();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Exchange().valid) << "message " << i;
  }
  ASSERT_NO_FATAL_FAILURE(
      expectAlertShownWithTheLinkStopped(2, GetText(kTextProgTermDisconnected)));
  EXPECT_TRUE(MenuItem("Menu_ProgTermAlertOnDisconnect")->isChecked());

  // Alerts off for connecting: the next terminal frame shows nothing.
  ASSERT_TRUE(drive.Deliver(kProgTermPayload));
  EXPECT_EQ(dialogs.records.size(), 2u);
  EXPECT_EQ(Window().LinkState().ProgTermCountdown, 3);
}

}  // namespace
}  // namespace integration
