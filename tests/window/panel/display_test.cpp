// Converter display lines, LEDs and the graphic display mode.
#include "circle_shape.h"
#include "cp1250.h"
#include "display_renderer.h"
#include "window_fixture.h"

namespace {

class DisplayTest : public WindowTest {
 protected:
  QColor Led(const char *name) { return Child<TCircleShape>(name)->BrushColor(); }
  QColor ButtonFace() { return TDisplayRenderer::ButtonFace(); }
  TImage *Cell(int size, int row, int column) {
    return Window().FrontPanel().Image_DisplayCell[size][row][column];
  }
  bool CellsVisible() {
    for (int size = 0; size < 2; ++size) {
      for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 13; ++column) {
          if (Cell(size, row, column)->isHidden()) {
            return false;
          }
        }
      }
    }
    return true;
  }
  // Codes of a graphic line: 13 cell codes then three characters.
  static QByteArray GraphicCodes(char cell, const char *tail = "abc") {
    return QByteArray(13, cell) + QByteArray(tail);
  }
  void Send(uint8_t status, const QByteArray &codes) {
    SetReply(status, codes);
    ShowDisplayMessage();
  }
  void EnterGraphicMode() {
    Send(0x00, GraphicCodes(0x02));
    Send(0x01, GraphicCodes(0x02));
    Send(0x02, GraphicCodes(0x02));
    Send(0x00, GraphicCodes(0x02));
    ASSERT_TRUE(Window().DisplayModel().GraphicMode());
  }
};

TEST_F(DisplayTest, LineAndLedsReachBothSizes) {
  SetReply(0x0E, "Frekvencia 50Hz ");
  ShowLine();
  for (int size = 0; size < 2; ++size) {
    EXPECT_EQ(Line(size, 2)->text(), QStringLiteral("Frekvencia 50Hz "));
  }
  EXPECT_EQ(Led("Shape_ErrorLedBig"), QColor(255, 0, 0));
  EXPECT_EQ(Led("Shape_ErrorLedSmall"), QColor(255, 0, 0));
  EXPECT_EQ(Led("Shape_RunLedBig"), QColor(0, 128, 0));
  EXPECT_EQ(Led("Shape_RunLedSmall"), QColor(0, 128, 0));

  SetReply(0x02, "Frekvencia 50Hz ");
  ShowLine();
  for (const char *led :
       {"Shape_ErrorLedBig", "Shape_ErrorLedSmall", "Shape_RunLedBig", "Shape_RunLedSmall"}) {
    EXPECT_EQ(Led(led), ButtonFace()) << led;
  }
}

TEST_F(DisplayTest, SameLineTwiceIsNotRewritten) {
  SetReply(0x01, "Motor aram  12A ");
  ShowLine();
  const int big = Line(0, 1)->TextWrites();
  const int small = Line(1, 1)->TextWrites();
  ShowLine();
  EXPECT_EQ(Line(0, 1)->TextWrites(), big);
  EXPECT_EQ(Line(1, 1)->TextWrites(), small);
  SetReply(0x01, "Motor aram  13A ");
  ShowLine();
  EXPECT_EQ(Line(0, 1)->TextWrites(), big + 1);
}

TEST_F(DisplayTest, ShortMessageChangesNothing) {
  SetReply(0x0F, "Ez nem jelenik m");
  Window().LinkState().ReplyData.length = 15;
  const QString before = Line(0, 3)->text();
  ShowDisplayMessage();
  EXPECT_EQ(Line(0, 3)->text(), before);
  EXPECT_EQ(Led("Shape_ErrorLedBig"), ButtonFace());
  EXPECT_EQ(Window().DisplayModel().GraphicLineHistory(), 0);
}

TEST_F(DisplayTest, MessageOf16To18BytesShowsOnlyTheCodesItCarries) {
  SetReply(0x03, "ABCDEFGHIJKLMNOP");
  Window().LinkState().ReplyData.length = 17;  // codes 3..16
  ShowLine();
  EXPECT_EQ(Line(0, 3)->text(), QStringLiteral("ABCDEFGHIJKLMN"));
}

TEST_F(DisplayTest, DisplayCharactersComeOutAsUnicode) {
  QByteArray codes("x&y  ");
  codes += '\x81';  // u with diaeresis
  codes += '\x93';  // o with double acute
  codes += '\x8F';  // capital A with acute
  codes += '\xF8';  // degree sign
  codes += '\xE4';  // micro sign
  codes += '\x00';  // at sign
  codes += "<b>";
  SetReply(0x00, codes);
  ShowLine();
  EXPECT_EQ(Line(0, 0)->text(), QStringLiteral("x&y  üőÁ°µ@<b>  "));
  EXPECT_EQ(Line(0, 0)->textFormat(), Qt::PlainText);
}

TEST(Cp1250Test, ConvertsTheUpperHalfByTheCodePage) {
  EXPECT_EQ(Cp1250ToChar(0x41), QChar(u'A'));
  EXPECT_EQ(Cp1250ToChar(0x80), QChar(u'\u20AC'));
  EXPECT_EQ(Cp1250ToChar(0x8A), QChar(u'\u0160'));
  EXPECT_EQ(Cp1250ToChar(0xA5), QChar(u'\u0104'));
  EXPECT_EQ(Cp1250ToChar(0xD5), QChar(u'\u0150'));
  EXPECT_EQ(Cp1250ToChar(0xDB), QChar(u'\u0170'));
  EXPECT_EQ(Cp1250ToChar(0xF5), QChar(u'\u0151'));
  EXPECT_EQ(Cp1250ToChar(0xFB), QChar(u'\u0171'));
  EXPECT_EQ(Cp1250ToChar(0xFF), QChar(u'\u02D9'));
  EXPECT_EQ(Cp1250ToChar(0x81), QChar(u'\u0081'));  // undefined in the code page
  EXPECT_EQ(LabelTextToPlain(QStringLiteral("a&&b&&&&c")), QStringLiteral("a&b&&c"));
}

TEST_F(DisplayTest, FourGraphicLinesEnterTheGraphicMode) {
  Send(0x00, GraphicCodes(0x02));
  Send(0x01, GraphicCodes(' '));  // a line of spaces counts as graphic
  Send(0x02, GraphicCodes(0x07));
  EXPECT_FALSE(Window().DisplayModel().GraphicMode());
  EXPECT_EQ(Line(0, 0)->x(), 56);

  Window().LinkState().SendSkipCount = 0;
  Send(0x00, GraphicCodes(0x05, "xyz"));
  EXPECT_TRUE(Window().DisplayModel().GraphicMode());
  EXPECT_EQ(Window().LinkState().SendSkipCount, 5);
  EXPECT_TRUE(CellsVisible());
  for (int line = 0; line < 3; ++line) {
    EXPECT_EQ(Line(0, line)->x(), 56 + 169) << line;
    EXPECT_EQ(Line(1, line)->x(), 38 + 117) << line;
  }
  EXPECT_EQ(Line(0, 3)->x(), 56);
  EXPECT_EQ(Line(0, 0)->text(), QStringLiteral("xyz"));
  EXPECT_EQ(Line(1, 0)->text(), QStringLiteral("xyz"));
  EXPECT_EQ(Line(0, 1)->text(), QString()) << "emptied at the switch";
  EXPECT_EQ(Window().DisplayModel().Cell(0, 4), 0x05);
  EXPECT_EQ(Window().DisplayModel().Cell(1, 4), 0x20);
}

TEST_F(DisplayTest, LineThreeNeverEntersCellsNorTheHistory) {
  Send(0x03, GraphicCodes(0x01));
  EXPECT_EQ(Window().DisplayModel().GraphicLineHistory(), 0);
  EnterGraphicMode();
  Send(0x03, GraphicCodes(0x01, "end"));
  EXPECT_TRUE(Window().DisplayModel().GraphicMode());
  EXPECT_EQ(Line(0, 3)->text(), QString(QByteArray(13, 0x01)) + QStringLiteral("end"));
}

TEST_F(DisplayTest, OneTextLineLeavesTheGraphicModeBeforeItIsDrawn) {
  EnterGraphicMode();
  Window().LinkState().SendSkipCount = 0;
  Send(0x01, "Parameter 12    ");
  EXPECT_FALSE(Window().DisplayModel().GraphicMode());
  EXPECT_EQ(Window().DisplayModel().GraphicLineHistory(), 0);
  EXPECT_EQ(Window().LinkState().SendSkipCount, 5);
  EXPECT_EQ(Line(0, 1)->x(), 56);
  EXPECT_EQ(Line(1, 1)->x(), 38);
  EXPECT_EQ(Line(0, 1)->text(), QStringLiteral("Parameter 12    "));
  EXPECT_TRUE(Cell(0, 0, 0)->isHidden());
  // Four graphic lines are needed again.
  Send(0x00, GraphicCodes(0x02));
  Send(0x01, GraphicCodes(0x02));
  Send(0x02, GraphicCodes(0x02));
  EXPECT_FALSE(Window().DisplayModel().GraphicMode());
}

TEST_F(DisplayTest, CellsAreDrawnWithTheirSegments) {
  EnterGraphicMode();
  // Code 2 of a big cell covers columns 5..10 and rows 0..17.
  const QImage big = Cell(0, 0, 3)->Picture().toImage();
  EXPECT_EQ(big.size(), QSize(12, 18));
  EXPECT_EQ(big.pixelColor(5, 0), QColor(192, 192, 192));
  EXPECT_EQ(big.pixelColor(10, 17), QColor(192, 192, 192));
  EXPECT_EQ(big.pixelColor(4, 9), QColor(0, 128, 0));
  EXPECT_EQ(big.pixelColor(11, 9), QColor(0, 128, 0));
  // Code 2 of a small cell covers columns 4..7 and rows 0..12.
  const QImage small = Cell(1, 0, 3)->Picture().toImage();
  EXPECT_EQ(small.size(), QSize(8, 13));
  EXPECT_EQ(small.pixelColor(4, 0), QColor(192, 192, 192));
  EXPECT_EQ(small.pixelColor(7, 12), QColor(192, 192, 192));
  EXPECT_EQ(small.pixelColor(3, 6), QColor(0, 128, 0));

  // Code 7 of a big cell: bottom band, rows 11..17, columns 0..10.
  Send(0x01, GraphicCodes(0x07));
  const QImage band = Cell(0, 1, 0)->Picture().toImage();
  EXPECT_EQ(band.pixelColor(0, 11), QColor(192, 192, 192));
  EXPECT_EQ(band.pixelColor(10, 17), QColor(192, 192, 192));
  EXPECT_EQ(band.pixelColor(0, 10), QColor(0, 128, 0));
  EXPECT_EQ(band.pixelColor(11, 17), QColor(0, 128, 0));
}

TEST_F(DisplayTest, CellFromCodeTwoToSpaceBecomesGreenAndUnchangedCellsAreNotRedrawn) {
  EnterGraphicMode();
  const int unchangedWrites = Cell(0, 0, 1)->PictureWrites();
  QByteArray codes = GraphicCodes(0x02);
  codes[0] = ' ';
  Send(0x00, codes);
  EXPECT_EQ(Cell(0, 0, 1)->PictureWrites(), unchangedWrites) << "code 2 stays: no redraw";
  for (int size = 0; size < 2; ++size) {
    const QImage cell = Cell(size, 0, 0)->Picture().toImage();
    for (int y = 0; y < cell.height(); ++y) {
      for (int x = 0; x < cell.width(); ++x) {
        ASSERT_EQ(cell.pixelColor(x, y), QColor(0, 128, 0)) << size << " " << x << "," << y;
      }
    }
  }
}

TEST_F(DisplayTest, CodesOutsideTheSegmentsLeaveThePlainCell) {
  EnterGraphicMode();
  QByteArray codes = GraphicCodes(0x02);
  codes[2] = 'Q';  // only possible in a memory-read message
  SetReply(0x00, codes);
  ShowLine();
  const QImage cell = Cell(0, 0, 2)->Picture().toImage();
  EXPECT_EQ(cell.pixelColor(6, 5), QColor(0, 128, 0));
}

}  // namespace
