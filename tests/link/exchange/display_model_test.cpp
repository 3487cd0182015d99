// The display model under the real reply handler: what the converter's
// messages leave on the display, the graphic mode and its answer hold-off,
// the status screens, what observers are told, and the one key path.
#include "display_model.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_port_control.h"
#include "keypad.h"
#include "link_frames.h"
#include "recording_link_host.h"
#include "reply_handler.h"
#include "text_table.h"

using namespace link_test;

namespace {

class TChangeLog : public TDisplayObserver {
 public:
  void DisplayChanged(const TDisplayChange &change) override { changes.push_back(change); }
  std::vector<TDisplayChange> changes;
};

class DisplayModelTest : public testing::Test {
 protected:
  void SetUp() override {
    BuildTextTable();
    SetCurrentLanguage(kLanguageEnglish);
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    port.portName = QStringLiteral("COM1");
    port.connected = true;
    model.Attach(&changes);
  }
  void TearDown() override { model.Detach(&changes); }

  // A display line of 13 cell codes followed by three characters.
  static QByteArray GraphicLine(uint8_t line, char cell) {
    const QByteArray codes = QByteArray(13, cell) + "abc";
    return DisplayLine(line, codes.constData());
  }
  // Feeds one frame; true when it was answered.
  bool Answered(const QByteArray &frame) {
    const size_t before = port.written.size();
    handler.HandleReply(frame);
    return port.written.size() > before;
  }

  TLinkState state;
  TTerminalMemory memory;
  TProgramSettings settings;
  TFakePortControl port;
  TRecordingLinkHost host;
  TDisplayModel model{state, settings};
  TReplyHandler handler{state, memory, settings, port, host, model};
  TChangeLog changes;
};

TEST_F(DisplayModelTest, LinesAndLedsComeFromTheMessagesAndRepeatsChangeNothing) {
  EXPECT_TRUE(Answered(DisplayLine(0x0E, "Freq & 50 Hz    ")));
  EXPECT_EQ(model.Line(2), QStringLiteral("Freq & 50 Hz    "));
  EXPECT_TRUE(model.ErrorLed());
  EXPECT_TRUE(model.RunLed());
  ASSERT_EQ(changes.changes.size(), 1u);
  EXPECT_EQ(changes.changes[0].lines.to_ulong(), 0b0100u);
  EXPECT_TRUE(changes.changes[0].leds);

  handler.HandleReply(DisplayLine(0x0E, "Freq & 50 Hz    "));
  EXPECT_EQ(changes.changes.size(), 1u) << "the same line again tells nobody";

  handler.HandleReply(DisplayLine(0x02, "Freq & 50 Hz    "));
  ASSERT_EQ(changes.changes.size(), 2u);
  EXPECT_TRUE(changes.changes[1].leds);
  EXPECT_TRUE(changes.changes[1].lines.none());
  EXPECT_FALSE(model.ErrorLed());

  // Too short to be drawn: answered, nothing changes.
  EXPECT_TRUE(Answered(ConverterMessage(0x0D, std::vector<uint8_t>(16, 'x'), 15)));
  EXPECT_EQ(changes.changes.size(), 2u);
}

// The hold-off that the window's display used to set at a mode switch is
// now set by the model: the same five messages go unanswered.
TEST_F(DisplayModelTest, GraphicModeSwitchHoldsOffTheNextFiveAnswers) {
  EXPECT_TRUE(Answered(GraphicLine(0, 0x02)));
  EXPECT_TRUE(Answered(GraphicLine(1, 0x02)));
  EXPECT_TRUE(Answered(DisplayLine(3)));  // line 3 leaves the history alone
  EXPECT_TRUE(Answered(GraphicLine(2, 0x02)));
  EXPECT_FALSE(model.GraphicMode());
  EXPECT_FALSE(Answered(GraphicLine(0, 0x05)));  // the fourth in a row switches
  EXPECT_TRUE(model.GraphicMode());
  EXPECT_TRUE(changes.changes.back().graphicMode);
  EXPECT_EQ(model.Line(0), QStringLiteral("abc"));
  EXPECT_EQ(model.Line(1), QString());
  EXPECT_EQ(model.Cell(0, 0), 0x05);
  EXPECT_EQ(model.Cell(1, 0), 0x20) << "cells wait for their own line";
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(Answered(GraphicLine(1, 0x02))) << i;
  }
  EXPECT_TRUE(Answered(GraphicLine(1, 0x02)));

  // One text line among lines 0..2 ends it, with the same hold-off.
  EXPECT_FALSE(Answered(DisplayLine(2)));
  EXPECT_FALSE(model.GraphicMode());
  EXPECT_EQ(model.GraphicLineHistory(), 0);
  EXPECT_EQ(model.Cell(0, 0), 0x05) << "the cells keep their codes while hidden";
  EXPECT_EQ(state.SendSkipCount, 4);
}

TEST_F(DisplayModelTest, CellsChangeOnlyWhereTheirCodeChangesAndReadAsBlocks) {
  for (uint8_t line : {0, 1, 2, 0}) {
    handler.HandleReply(GraphicLine(line, 0x02));
  }
  changes.changes.clear();
  const QByteArray codes = QByteArray("\x02\x02\x20\x00\x01\x03\x04\x05\x06\x07\x20\x02\x02", 13);
  handler.HandleReply(DisplayLine(0, (codes + "xyz").constData()));
  ASSERT_EQ(changes.changes.size(), 1u);
  EXPECT_EQ(changes.changes[0].cells.count(), 9u);  // columns 2..10
  EXPECT_FALSE(changes.changes[0].cells.test(0));
  EXPECT_EQ(model.TextLines().at(0), QString::fromUtf8("▐▐ ▝▗▘▖▌▀▄ ▐▐xyz"));
  EXPECT_EQ(model.TextLines().at(1), QString(13, u' ')) << "line 1 came before the switch";
  EXPECT_EQ(model.TextLines().at(3), QString());
}

TEST_F(DisplayModelTest, StatusScreensLeaveGraphicModeAndDarkenTheLeds) {
  for (uint8_t line : {0, 1, 2, 0}) {
    handler.HandleReply(GraphicLine(line, 0x02));
  }
  handler.HandleReply(ConverterMessage(0x0D, std::vector<uint8_t>(16, 'x')));
  state.SendSkipCount = 0;
  settings.Port = QStringLiteral("COM1");

  model.ShowStatusScreen(TStatusScreen::Searching);
  EXPECT_EQ(model.StatusScreen(), TStatusScreen::Searching);
  EXPECT_FALSE(model.GraphicMode());
  EXPECT_EQ(state.SendSkipCount, 5);
  EXPECT_FALSE(model.ErrorLed() || model.RunLed());
  EXPECT_EQ(model.TextLines(),
            (QStringList{QStringLiteral("    Sorvanel"), QStringLiteral("----------------"),
                         QStringLiteral("  Finding freq."), QStringLiteral("converter: COM1")}));
  handler.HandleReply(DisplayLine(3));
  EXPECT_FALSE(model.StatusScreen().has_value());
}

TEST_F(DisplayModelTest, IndicatorsAreToldOnlyWhenWhatTheyShowChanges) {
  handler.HandleReply(ProgTermFrame());  // a terminal, but no converter yet
  model.IndicatorsChanged();
  EXPECT_TRUE(changes.changes.empty());
  state.ConverterConnected = true;
  model.IndicatorsChanged();
  ASSERT_EQ(changes.changes.size(), 1u);
  EXPECT_TRUE(changes.changes[0].indicators);
  EXPECT_TRUE(model.Connected());
  EXPECT_TRUE(model.ProgTermPresent());
  model.IndicatorsChanged();
  EXPECT_EQ(changes.changes.size(), 1u);
}

class TKeyLog : public TKeypadObserver {
 public:
  void KeyChanged(int key, bool down) override { events.emplace_back(key, down); }
  std::vector<std::pair<int, bool>> events;
};

TEST_F(DisplayModelTest, KeysPressedThroughTheKeypadTravelWithTheNextAnswers) {
  TKeypad keypad;
  TKeyLog log;
  keypad.Attach(&log);
  EXPECT_EQ(KeyByName(u"start"), KeyIndex(TTerminalKey::Start));
  EXPECT_EQ(KeyByName(u"Dir"), KeyIndex(TTerminalKey::Direction));
  EXPECT_FALSE(KeyByName(u"STARTS").has_value());
  EXPECT_FALSE(keypad.Press(kKeyCount));

  ASSERT_TRUE(keypad.Press(KeyIndex(TTerminalKey::Start)));
  ASSERT_TRUE(keypad.Press(KeyIndex(TTerminalKey::Up)));
  ASSERT_TRUE(keypad.Release(KeyIndex(TTerminalKey::Start)));
  EXPECT_TRUE(keypad.IsDown(KeyIndex(TTerminalKey::Up)));
  handler.HandleReply(DisplayLine(3));
  handler.HandleReply(DisplayLine(3));
  ASSERT_EQ(port.written.size(), 2u);
  // Start (0x01 of byte 0) is sent once more after its release; up (0x04 of byte 1) stays.
  EXPECT_EQ(DecodeRequest(port.written[0]).keyState0, 0x01);
  EXPECT_EQ(DecodeRequest(port.written[0]).keyState1, 0x04);
  EXPECT_EQ(DecodeRequest(port.written[1]).keyState0, 0x00);
  EXPECT_EQ(DecodeRequest(port.written[1]).keyState1, 0x04);
  keypad.ReleaseAll();
  EXPECT_FALSE(keypad.IsDown(KeyIndex(TTerminalKey::Up)));
  EXPECT_EQ(log.events,
            (std::vector<std::pair<int, bool>>{{9, true}, {0, true}, {9, false}, {0, false}}));
  keypad.Detach(&log);
}

}  // namespace
