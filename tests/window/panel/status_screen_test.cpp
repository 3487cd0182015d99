// The program's own status screens and the link indicators of the status bar.
#include <QImage>
#include <QPainter>

#include "circle_shape.h"
#include "display_renderer.h"
#include "status_bar.h"
#include "window_fixture.h"

namespace {

class StatusScreenTest : public WindowTest {
 protected:
  QStringList Lines(int size) {
    QStringList lines;
    for (int line = 0; line < 4; ++line) {
      lines << Line(size, line)->text();
    }
    return lines;
  }
  void LightLeds() {
    SetReply(0x0D, "Uzem            ");
    ShowLine();
  }
  bool LedsUnlit() {
    const QColor face = TDisplayRenderer::ButtonFace();
    for (const char *led :
         {"Shape_ErrorLedBig", "Shape_ErrorLedSmall", "Shape_RunLedBig", "Shape_RunLedSmall"}) {
      if (Child<TCircleShape>(led)->BrushColor() != face) {
        return false;
      }
    }
    return true;
  }
};

TEST_F(StatusScreenTest, StartUpScreenShowsAtCreation) {
  const QStringList expected = {"", "     VELTAR", "    Sorvanel", ""};
  EXPECT_EQ(Lines(0), expected);
  EXPECT_EQ(Lines(1), expected);
  EXPECT_TRUE(LedsUnlit());
  EXPECT_EQ(Window().LinkState().SendSkipCount, 5);
}

TEST_F(StatusScreenTest, HungarianScreensHaveTheirExactTexts) {
  LightLeds();
  Window().ShowStatusScreen(TStatusScreen::NoCommunication);
  EXPECT_EQ(Lines(0),
            QStringList({"    Sorvanel", "----------------", "      Nincs", "  kommunikáció!"}));
  EXPECT_TRUE(LedsUnlit());
  Window().ShowStatusScreen(TStatusScreen::NoPort);
  EXPECT_EQ(Lines(1),
            QStringList({"    Sorvanel", "----------------", "   Nincs port", "   megnyitva!"}));
  Window().ProgramSettings().Port = QStringLiteral("COM1");
  Window().ShowStatusScreen(TStatusScreen::Searching);
  EXPECT_EQ(Lines(0), QStringList({"    Sorvanel", "----------------", "Frekvenciaváltó",
                                   "keresése...COM1"}));
  Window().ProgramSettings().Port.clear();
  Window().ShowStatusScreen(TStatusScreen::Searching);
  EXPECT_EQ(Lines(1).at(3), QStringLiteral("keresése..."));
}

TEST_F(StatusScreenTest, EnglishScreensHaveTheirExactTexts) {
  Window().Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  LightLeds();
  Window().ShowStatusScreen(TStatusScreen::NoCommunication);
  EXPECT_EQ(Lines(0),
            QStringList({"    Sorvanel", "----------------", " Communication", "     error!"}));
  EXPECT_TRUE(LedsUnlit());
  Window().ShowStatusScreen(TStatusScreen::NoPort);
  EXPECT_EQ(Lines(1),
            QStringList({"    Sorvanel", "----------------", "      Port", "     error!"}));
  Window().ProgramSettings().Port = QStringLiteral("ttyUSB0");
  Window().ShowStatusScreen(TStatusScreen::Searching);
  EXPECT_EQ(Lines(0), QStringList({"    Sorvanel", "----------------", "  Finding freq.",
                                   "converterttyUSB0"}))
      << "the port name keeps whole inside the 16 columns";
}

TEST_F(StatusScreenTest, StatusScreenLeavesTheGraphicMode) {
  for (uint8_t line : {0, 1, 2, 0}) {
    SetReply(line, QByteArray(16, ' '));
    ShowDisplayMessage();
  }
  ASSERT_TRUE(Window().DisplayModel().GraphicMode());
  Window().LinkState().SendSkipCount = 0;
  Window().ShowStatusScreen(TStatusScreen::NoPort);
  EXPECT_FALSE(Window().DisplayModel().GraphicMode());
  EXPECT_EQ(Window().DisplayModel().GraphicLineHistory(), 0);
  EXPECT_EQ(Window().LinkState().SendSkipCount, 5);
  EXPECT_EQ(Line(0, 2)->x(), 56);
  EXPECT_TRUE(Window().FrontPanel().Image_DisplayCell[1][2][12]->isHidden());
  EXPECT_EQ(Line(0, 2)->text(), QStringLiteral("   Nincs port"));
}

// Lightness of the darkest pixel in a panel of the rendered status bar:
// the indicator text is black when active, gray (128) when not.
int DarkestInPanel(TStatusBar *bar, int panel) {
  const QImage image = bar->grab().toImage();
  const QRect inside = bar->PanelRect(panel);
  QColor darkest(255, 255, 255);
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.lightness() < darkest.lightness()) {
        darkest = c;
      }
    }
  }
  return darkest.lightness();
}

// How dark the darkest pixel gets depends on how well the font's strokes cover whole pixels, so
// the bounds leave room for antialiasing: gray text is never darker than its gray (128), and
// black text always reaches well below it.
bool IsBlack(int lightness) {
  return lightness <= 90;
}
bool IsGray(int lightness) {
  return lightness >= 115 && lightness <= 180;
}

TEST_F(StatusScreenTest, IndicatorsAreBlackOnlyWhileTheirStateHolds) {
  TStatusBar *bar = Window().StatusBar();
  TLinkState &link = Window().LinkState();
  EXPECT_TRUE(IsGray(DarkestInPanel(bar, 1))) << "gray at start";
  EXPECT_TRUE(IsGray(DarkestInPanel(bar, 2)));

  link.ProgTermCountdown = 3;
  EXPECT_TRUE(IsGray(DarkestInPanel(bar, 2))) << "no converter: gray";
  link.ConverterConnected = true;
  EXPECT_TRUE(IsBlack(DarkestInPanel(bar, 1)));
  EXPECT_TRUE(IsBlack(DarkestInPanel(bar, 2)));
  link.ProgTermCountdown = 0;
  EXPECT_TRUE(IsGray(DarkestInPanel(bar, 2)));
  EXPECT_TRUE(IsBlack(DarkestInPanel(bar, 1)));
}

TEST_F(StatusScreenTest, IndicatorTextIsCentredInItsPanel) {
  TStatusBar *bar = Window().StatusBar();
  QImage image(200, 30, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const QRect rect(10, 2, 91, 14);
  Window().Display().StatusBarDrawPanel(painter, 1, rect);
  const QFontMetrics metrics(painter.font());
  const QString text = bar->PanelText(1);
  const int textWidth = metrics.horizontalAdvance(text);
  // The first ink stands off the pen position by the first letter's bearing, which the font sets.
  const int firstInk = metrics.leftBearing(text.at(0));
  painter.end();
  int left = image.width();
  for (int x = 0; x < image.width() && left == image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) {
      if (image.pixelColor(x, y) != QColor(Qt::white)) {
        left = x;
        break;
      }
    }
  }
  const int expected = rect.left() + (rect.width() - textWidth) / 2 + firstInk;
  EXPECT_NEAR(left, expected, 2);

  // Panels 0 and 3 are not owner-drawn: nothing is painted for them.
  QImage blank(50, 20, QImage::Format_RGB32);
  blank.fill(Qt::white);
  QPainter other(&blank);
  Window().Display().StatusBarDrawPanel(other, 3, QRect(0, 0, 50, 20));
  other.end();
  QImage white(50, 20, QImage::Format_RGB32);
  white.fill(Qt::white);
  EXPECT_EQ(blank, white);
}

}  // namespace
