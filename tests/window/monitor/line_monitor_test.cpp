// The line monitor: how rows read, the capped list, and the window watching
// the link only while it is open and following the language.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableView>

#include "drive_link.h"
#include "line_monitor.h"
#include "line_monitor_view.h"
#include "line_recorder.h"
#include "link_frames.h"
#include "window_fixture.h"

namespace {

TReplyData Decoded(const QByteArray &frame, uint8_t &result) {
  TReplyData reply;
  result = Kelvo_Check(reinterpret_cast<const uint8_t *>(frame.constData()),
                       static_cast<size_t>(frame.size()), reply.bytes, &reply.length);
  return reply;
}

TLineRow Received(const QByteArray &frame) {
  uint8_t result = 0;
  const TReplyData reply = Decoded(frame, result);
  return ReceivedFrameRow(1.5, frame, result, result == 1 ? Kelvo_GetLastError() : 0, reply);
}

TEST(LineMonitorRows, ReadAsTheConverterAndTheProgramMeantThem) {
  SetCurrentLanguage(kLanguageEnglish);
  const TLineRow line = Received(link_test::DisplayLine(2, "Out  50.0 Hz    "));
  EXPECT_EQ(RowMeaning(line), QStringLiteral("display line 2: “Out  50.0 Hz    ”"));
  EXPECT_EQ(RowCheck(line), QStringLiteral("OK"));
  EXPECT_EQ(RowDirection(line), QStringLiteral("in"));
  EXPECT_TRUE(RowPrintable(line).startsWith(QStringLiteral(".")));
  EXPECT_TRUE(RowHex(line).startsWith(QStringLiteral("02 31 35 34 3d")));

  const TLineRow write = Received(link_test::MemoryWrite(0x0120, {1, 2, 0xAB}));
  EXPECT_EQ(RowMeaning(write),
            QStringLiteral("memory write 0x0120: 01 02 ab 00 00 00 00 00 00 00 00 00 00 00 00 00"));

  QByteArray broken = link_test::DisplayLine(0);
  broken.chop(1);
  broken.append('x');
  EXPECT_EQ(RowCheck(Received(broken)), QStringLiteral("no ETX"));

  Kelvo_SetButtonStatus(beReleaseAll, 0);
  Kelvo_SetButtonStatus(bePressed, 0x0008);  // enter
  Kelvo_SetButtonStatus(bePressed, 0x0104);  // up
  Kelvo_SetAddress(0x1234);
  Kelvo_SetValue(0xBEEF, 0, 0, 0);
  TTerminalMessageFrame frame{};
  Kelvo_CompileMessage(&frame);
  Kelvo_SetButtonStatus(beReleaseAll, 0);
  const TLineRow answer = AnswerRow(2.0, frame.bytes + 1, frame.bytes[0], false);
  EXPECT_EQ(RowMeaning(answer), QStringLiteral("keys: UP+ENTER, address 0x1234, value 0xbeef"));
  EXPECT_EQ(RowCheck(answer), QStringLiteral("write failed"));
  EXPECT_EQ(RowDirection(answer), QStringLiteral("out"));

  SetCurrentLanguage(kLanguageHungarian);
  EXPECT_EQ(RowMeaning(line), QStringLiteral("kijelző 2. sor: „Out  50.0 Hz    ”"));
  EXPECT_EQ(RowMeaning(PortEventRow(0, TPortEvent::Lost, QStringLiteral("ttyUSB0"))),
            QStringLiteral("port elveszett: ttyUSB0"));
}

// The monitor's counters make its rows: every frame, answer and port event is
// counted and listed, timed from the port's open.
TEST(LineRecorder, CountsEachEventAndListsItTimedFromThePortsOpen) {
  using namespace std::chrono_literals;
  std::vector<TLineRow> rows;
  TLineRecorder recorder([&rows](TLineRow row) { rows.push_back(std::move(row)); });
  const TLinkTime open = TLinkClock::now();
  recorder.SetBase(open - 1s);
  recorder.PortChanged(open, TPortEvent::Opened, QStringLiteral("ttyUSB0"));
  const QByteArray frame = link_test::DisplayLine(1);
  uint8_t result = 0;
  const TReplyData reply = Decoded(frame, result);
  recorder.ChunkReceived(open + 2ms, frame);
  recorder.FrameHandled(open + 2500us, frame, result, 0, reply);
  const uint8_t answer[] = {0x02, 0x30, 0x03};
  recorder.AnswerWritten(open + 3ms, answer, sizeof answer, true);
  recorder.AnswerSkipped(open + 4ms);

  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].kind, TLineRowKind::PortEvent);
  EXPECT_EQ(rows[0].ms, 0.0);
  EXPECT_EQ(rows[1].kind, TLineRowKind::DriveMessage);
  EXPECT_EQ(rows[1].ms, 2.5);
  EXPECT_EQ(rows[2].kind, TLineRowKind::Answer);
  EXPECT_EQ(rows[2].ms, 3.0);
  EXPECT_EQ(recorder.DriveMessages(), 1u);
  EXPECT_EQ(recorder.Answers(), 1u);
  EXPECT_EQ(recorder.SkippedByHoldOff(), 1u);
  EXPECT_EQ(recorder.Turnaround().Max(), 1ms);  // from the chunk to the answer
}

TEST(LineMonitorModel, KeepsTheNewestRowsUpToItsCapacityAndFiltersByKind) {
  TLineMonitorModel model(nullptr, 5);
  TLineKindFilter filter;
  filter.setSourceModel(&model);
  const auto rows = [](int count, double from) {
    std::vector<TLineRow> batch;
    for (int i = 0; i < count; ++i) {
      batch.push_back(i % 2 == 0 ? PortEventRow(from + i, TPortEvent::Opened, QString())
                                 : AnswerRow(from + i, nullptr, 0, true));
    }
    return batch;
  };
  model.Append(rows(3, 0));
  model.Append(rows(4, 10));
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(model.Row(0).ms, 2.0);
  EXPECT_EQ(model.Row(4).ms, 13.0);
  model.Append(rows(8, 100));  // a batch larger than the list
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(model.Row(0).ms, 103.0);

  filter.SetChoice(TLineKindFilter::kAnswers);
  EXPECT_EQ(filter.rowCount(), 3);  // 103, 105, 107
  filter.SetChoice(TLineKindFilter::kPortEvents);
  EXPECT_EQ(filter.rowCount(), 2);
  model.Clear();
  EXPECT_EQ(filter.rowCount(), 0);
}

// The list keeps what it drew of each row; after a language switch and after
// the oldest rows made room it must draw exactly what a new list draws.
TEST(LineMonitorView, DrawsWhatANewListDrawsAfterALanguageSwitchAndAfterRowsLeave) {
  SetCurrentLanguage(kLanguageEnglish);
  TLineMonitorModel model(nullptr, 4);
  const auto batch = [](double ms) {
    return std::vector<TLineRow>{Received(link_test::DisplayLine(1, "Out  50.0 Hz    ")),
                                 PortEventRow(ms, TPortEvent::Lost, QStringLiteral("ttyUSB0"))};
  };
  const auto pixels = [](TLineMonitorView &view) { return view.viewport()->grab().toImage(); };
  model.Append(batch(0));
  model.Append(batch(10));
  const auto view = [&model](TLineMonitorView &list) {
    list.setModel(&model);
    list.resize(700, 200);
  };
  TLineMonitorView shown;
  view(shown);
  pixels(shown);

  model.Append(batch(20));  // the first two rows leave
  TLineMonitorView fresh;
  view(fresh);
  EXPECT_EQ(pixels(shown), pixels(fresh));

  SetCurrentLanguage(kLanguageHungarian);
  model.Retranslate();
  TLineMonitorView freshInHungarian;
  view(freshInHungarian);
  EXPECT_EQ(pixels(shown), pixels(freshInHungarian));
}

class LineMonitorWindow : public WindowTest {};

// The tooltip of the counter called by text 'name'.
QString CounterToolTip(const TLineMonitor &monitor, int name) {
  for (const QLabel *label : monitor.findChildren<QLabel *>()) {
    if (label->text() == GetText(name) + QLatin1Char(':')) {
      return label->toolTip();
    }
  }
  return QStringLiteral("<no such counter>");
}

TEST_F(LineMonitorWindow, WatchesTheLinkWhileOpenAndFollowsTheLanguage) {
  TForm_Sorvanel &window = Window();
  TReplyHandler &replies = window.DriveLink().Replies();
  window.LinkState().SendSkipCount = 0;
  window.ProgramSettings().PTConnect = false;      // no alert for the terminal's frame
  replies.HandleReply(link_test::DisplayLine(0));  // nobody watches yet
  EXPECT_EQ(window.LineMonitor(), nullptr);

  window.Menu_LineMonitorClick();
  TLineMonitor *monitor = window.LineMonitor();
  ASSERT_NE(monitor, nullptr);
  ASSERT_TRUE(monitor->isVisible());
  replies.HandleReply(link_test::DisplayLine(1));
  replies.HandleReply(link_test::ProgTermFrame());
  EXPECT_EQ(monitor->Model().rowCount(), 0);  // waits for the batch
  monitor->FlushRows();
  EXPECT_EQ(monitor->Model().rowCount(), 2);
  EXPECT_EQ(monitor->Statistics().DriveMessages(), 1u);
  EXPECT_EQ(monitor->Statistics().ProgTermFrames(), 1u);

  monitor->SetPaused(true);
  replies.HandleReply(link_test::DisplayLine(2));
  monitor->FlushRows();
  EXPECT_EQ(monitor->Model().rowCount(), 2);
  monitor->SetPaused(false);
  EXPECT_EQ(monitor->Model().rowCount(), 3);

  monitor->close();
  replies.HandleReply(link_test::DisplayLine(3));
  monitor->FlushRows();
  EXPECT_EQ(monitor->Model().rowCount(), 3);
  EXPECT_EQ(monitor->Statistics().DriveMessages(), 2u);

  auto *tools = Child<QMenu>("Menu_Tools");
  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  EXPECT_EQ(tools->title(), QStringLiteral("Tools"));
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("Line monitor"));
  EXPECT_EQ(monitor->Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("Time (ms)"));
  // The answers held back at every switch of the bar-graph screen are explained.
  EXPECT_TRUE(CounterToolTip(*monitor, kTextUnansweredHoldOff)
                  .contains(QStringLiteral("bar-graph screen")));
  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageHun"));
  EXPECT_EQ(tools->title(), QStringLiteral("Eszközök"));
  EXPECT_EQ(Child<QAction>("Menu_LineMonitor")->text(), QStringLiteral("Vonalfigyelő"));
  EXPECT_TRUE(CounterToolTip(*monitor, kTextUnansweredHoldOff)
                  .contains(QStringLiteral("oszlopdiagramos képernyőre")));
}

TEST_F(LineMonitorWindow, SavesTheRowsShownAsText) {
  Window().Menu_LineMonitorClick();
  TLineMonitor *monitor = Window().LineMonitor();
  Window().DriveLink().Replies().HandleReply(link_test::DisplayLine(1));
  monitor->FlushRows();
  const QString path = folder.filePath(QStringLiteral("line.txt"));
  ASSERT_TRUE(monitor->SaveRowsAsText(path));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  ASSERT_GE(lines.size(), 3);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Idő (ms)\tIrány")));
  EXPECT_TRUE(lines[1].contains(QStringLiteral("kijelző 1. sor"))) << lines[1].toStdString();

  EXPECT_FALSE(monitor->SaveRowsAsText(folder.filePath(QStringLiteral("missing/line.txt"))));
  EXPECT_EQ(dialogs.records.size(), 1u);
}

}  // namespace
