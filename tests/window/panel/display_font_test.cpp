// The display font: its size rule and the fixed character pitch the graphic
// cells rely on; the text stays inside the display window of the face.
#include <QFontMetrics>
#include <QFontMetricsF>

#include "display_font.h"
#include "window_fixture.h"

namespace {

TEST(DisplayFontRuleTest, KeepsThePixelSizeOnEveryScreen) {
  EXPECT_EQ(DisplayFontPointSize(0, 96), 16);
  EXPECT_EQ(DisplayFontPointSize(1, 96), 11);
  EXPECT_EQ(DisplayFontPointSize(0, 120), 13);
  EXPECT_EQ(DisplayFontPointSize(1, 120), 9);
  EXPECT_EQ(DisplayFontPointSize(0, 144), 11);
  EXPECT_EQ(DisplayFontPointSize(1, 144), 7);
  EXPECT_EQ(DisplayFontPointSize(0, 192), 8);
  EXPECT_EQ(StatusBarFontPointSize(8, 96), 8);
  EXPECT_EQ(StatusBarFontPointSize(8, 120), 6);
}

using DisplayFontTest = WindowTest;

// The display window of each face picture, in panel coordinates (the face
// stands at 5, 15 in its panel).
const QRect kDisplayWindow[2] = {QRect(QPoint(5 + 41, 15 + 14), QPoint(5 + 269, 15 + 108)),
                                 QRect(QPoint(5 + 28, 15 + 10), QPoint(5 + 182, 15 + 72))};

const QString kWorstLines[] = {
    QStringLiteral("WWWWWWWWWWWWWWWW"),
    QStringLiteral("ÁÉÍÓÖŐÚÜŰ@#%&MWg"),
    QStringLiteral("gjpqy|()[]{}_,;Q"),
    QStringLiteral("»«µ°÷ßüéőűáíóú12"),
};

TEST_F(DisplayFontTest, EveryCharacterAdvancesByThePitch) {
  for (int size = 0; size < 2; ++size) {
    const int pitch = size == 0 ? 13 : 9;
    const QFont font = Line(size, 0)->font();
    EXPECT_EQ(font.family(), QStringLiteral("Liberation Mono"));
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
    const QFontMetrics metrics(font, Line(size, 0));
    for (const QString &text : kWorstLines) {
      EXPECT_EQ(metrics.horizontalAdvance(text), 16 * pitch) << size << " " << text.toStdString();
      EXPECT_EQ(metrics.horizontalAdvance(text.left(13)), 13 * pitch) << size;
    }
  }
}

TEST_F(DisplayFontTest, FullLinesStayInsideTheDisplayWindow) {
  for (int size = 0; size < 2; ++size) {
    for (int line = 0; line < 4; ++line) {
      TDisplayLineLabel *label = Line(size, line);
      label->SetLineText(kWorstLines[line]);
      const QFontMetrics metrics(label->font(), label);
      const int baseline = label->y() + (label->height() - metrics.height()) / 2 + metrics.ascent();
      QRect ink;
      for (const QString &text : kWorstLines) {
        ink |= metrics.boundingRect(text).translated(label->x(), baseline);
      }
      EXPECT_TRUE(kDisplayWindow[size].contains(ink))
          << "size " << size << " line " << line << " ink " << ink.x() << "," << ink.y() << " "
          << ink.width() << "x" << ink.height();
      // The line's own box ends inside the window too.
      EXPECT_LE(label->x() + metrics.horizontalAdvance(kWorstLines[line]),
                kDisplayWindow[size].right() + 1);
    }
  }
}

}  // namespace
