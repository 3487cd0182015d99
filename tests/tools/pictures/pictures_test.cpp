// Checks that the pictures fit the window that places controls over them.

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtMath>

#include <cmath>
#include <map>

#include "face_picture.h"
#include "icon_set.h"
#include "key_pictures.h"
#include "palette.h"
#include "picture_set.h"
#include "small_pictures.h"
#include "terminal_layout.h"

namespace pictures {
namespace {

int Luminance(QRgb pixel) {
  return qGray(pixel);
}

double MeanLuminance(const QImage &image, const QRect &area) {
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      sum += Luminance(image.pixel(x, y));
    }
  }
  return sum / (area.width() * area.height());
}

class Layouts : public ::testing::TestWithParam<bool> {
 protected:
  TerminalLayout Layout() const { return GetParam() ? BigLayout() : SmallLayout(); }
};

INSTANTIATE_TEST_SUITE_P(BothSizes, Layouts, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Big" : "Small"; });

TEST(PictureSet, HasEveryFileTheWindowLoadsAtItsSize) {
  const std::map<QString, QSize> expected = {
      {"face_big.png", {310, 480}},     {"face_small.png", {210, 325}},
      {"keys_big.png", {1320, 60}},     {"keys_small.png", {880, 40}},
      {"resize_down.png", {24, 13}},    {"resize_up.png", {24, 13}},
      {"about_terminal.png", {41, 64}}, {"icon_16.png", {16, 16}},
      {"icon_32.png", {32, 32}},        {"icon_64.png", {64, 64}}};
  std::map<QString, QSize> drawn;
  for (const NamedPicture &picture : AllPictures()) {
    drawn[picture.fileName] = picture.image.size();
  }
  EXPECT_EQ(drawn, expected);
}

TEST(PictureSet, AboutPictureIsOpaqueAndIconsAreTransparentAroundTheTerminal) {
  EXPECT_FALSE(DrawAboutTerminal().hasAlphaChannel());
  for (int side : {16, 32, 64}) {
    const QImage icon = DrawIcon(side);
    ASSERT_TRUE(icon.hasAlphaChannel()) << side;
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << side;
    EXPECT_EQ(qAlpha(icon.pixel(side - 1, side / 2)), 0) << side;
    EXPECT_EQ(qAlpha(icon.pixel(side / 2, side / 2)), 255) << side;
  }
}

// The scalable icon is the same terminal as the pixel icons: a desktop showing it at 64 pixels
// must not show another picture (or nothing, for an SVG its renderer rejects).
TEST(IconSet, ScalableIconDrawsThePixelIconsTerminal) {
  QSvgRenderer renderer(DrawScalableIcon());
  ASSERT_TRUE(renderer.isValid());
  QImage rendered(64, 64, QImage::Format_ARGB32_Premultiplied);
  rendered.fill(Qt::transparent);
  QPainter painter(&rendered);
  renderer.render(&painter);
  painter.end();
  const QImage pixels = DrawIcon(64).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  int differing = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const QRgb a = rendered.pixel(x, y);
      const QRgb b = pixels.pixel(x, y);
      differing += std::abs(qAlpha(a) - qAlpha(b)) > 64 || std::abs(qGray(a) - qGray(b)) > 48;
    }
  }
  EXPECT_LT(differing, 64 * 64 / 50);
  std::map<QString, QSize> sizes;
  for (const ThemeIcon &icon : ThemeIcons()) {
    sizes[icon.path] = icon.image.size();
  }
  for (int side : kIconSides) {
    EXPECT_EQ(sizes[QStringLiteral("%1x%1/apps/hu.sorvanel.Sorvanel.png").arg(side)],
              QSize(side, side));
  }
}

// The window writes the display text and fills the graphic cells in flat green over the face,
// so the whole text block must lie on the window's own green.
TEST_P(Layouts, DisplayTextBlockLiesOnFlatGreen) {
  const TerminalLayout l = Layout();
  const QImage face = DrawFace(l);
  const QRect block(l.textOrigin, QSize(16 * l.charPitch, 4 * l.linePitch));
  ASSERT_TRUE(l.display.contains(block));
  for (int y = block.top(); y <= block.bottom(); ++y) {
    for (int x = block.left(); x <= block.right(); ++x) {
      ASSERT_EQ(QColor(face.pixel(x, y)), kDisplayGreen) << x << "," << y;
    }
  }
}

TEST_P(Layouts, DisplayWindowIsBorderedByADarkBezel) {
  const TerminalLayout l = Layout();
  const QImage face = DrawFace(l);
  const int middle = l.display.center().x();
  EXPECT_LT(Luminance(face.pixel(middle, l.display.top() - 2)), 90);
  EXPECT_LT(Luminance(face.pixel(middle, l.display.bottom() + 2)), 90);
}

TEST_P(Layouts, LedSocketsAreCentredOnTheLedPlaces) {
  const TerminalLayout l = Layout();
  const QImage face = DrawFace(l);
  for (const QRect &led : {l.errorLed, l.runLed}) {
    const QPoint centre = led.center();
    EXPECT_LT(Luminance(face.pixel(centre)), 60);
    // Just outside the ring the face is light again on every side.
    const int reach = led.width() / 2 + std::lround(8 * l.scale);
    EXPECT_GT(Luminance(face.pixel(centre.x() - reach, centre.y())), 150);
    EXPECT_GT(Luminance(face.pixel(centre.x() + reach, centre.y())), 150);
  }
}

TEST_P(Layouts, KeyPlacesStayPlainFace) {
  // Keys are drawn over the face; anything drawn under them would show at their corners.
  const TerminalLayout l = Layout();
  const QImage face = DrawFace(l);
  for (int key = 0; key < kKeyCount; ++key) {
    const QRect place = KeyRect(l, key);
    EXPECT_EQ(QColor(face.pixel(place.center())), kFaceGrey) << key;
  }
}

TEST_P(Layouts, KeysSitInsideTheFaceWithoutOverlapping) {
  const TerminalLayout l = Layout();
  const QRect face(QPoint(0, 0), l.face);
  for (int a = 0; a < kKeyCount; ++a) {
    EXPECT_TRUE(face.contains(KeyRect(l, a))) << a;
    EXPECT_FALSE(KeyRect(l, a).intersects(l.display)) << a;
    for (int b = a + 1; b < kKeyCount; ++b) {
      EXPECT_FALSE(KeyRect(l, a).intersects(KeyRect(l, b))) << a << " " << b;
    }
  }
}

int CountPixels(const QImage &image, const QRect &area, bool (*matches)(QRgb)) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      count += matches(image.pixel(x, y)) ? 1 : 0;
    }
  }
  return count;
}

bool IsRedInk(QRgb p) {
  return qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90;
}
bool IsGreenInk(QRgb p) {
  return qGreen(p) > 100 && qRed(p) < 90 && qBlue(p) < 120;
}

TEST_P(Layouts, LedLegendsStandBesideTheirOwnLed) {
  const TerminalLayout l = Layout();
  const QImage face = DrawFace(l);
  const int width = 3 * l.errorLed.width();
  const QRect rightOfError(l.errorLed.right() + 2, l.errorLed.top() - 4, width,
                           l.errorLed.height() + 8);
  const QRect leftOfRun(l.runLed.left() - 2 - width, l.runLed.top() - 4, width,
                        l.runLed.height() + 8);
  EXPECT_GT(CountPixels(face, rightOfError, IsRedInk), 10);
  EXPECT_EQ(CountPixels(face, rightOfError, IsGreenInk), 0);
  EXPECT_GT(CountPixels(face, leftOfRun, IsGreenInk), 10);
  EXPECT_EQ(CountPixels(face, leftOfRun, IsRedInk), 0);
}

// The ring round the arrow keys shows between the keys and is broken where they sit.
TEST_P(Layouts, ArrowRingShowsBetweenTheArrowKeys) {
  const TerminalLayout l = Layout();
  const QImage face = DrawFace(l);
  const QPointF centre = QRectF(KeyRect(l, kKeyDisplay)).center();
  const qreal radius = 1.5 * l.keySide;
  for (int diagonal : {45, 135, 225, 315}) {
    const qreal angle = qDegreesToRadians(qreal(diagonal));
    const QPoint onRing = (centre + radius * QPointF(std::cos(angle), -std::sin(angle))).toPoint();
    const QRect probe(onRing - QPoint(2, 2), QSize(5, 5));
    EXPECT_LT(MeanLuminance(face, probe), Luminance(kFaceGrey.rgb()) - 8) << diagonal;
  }
}

TEST(LegendFitting, KeepsTheStartSizeWhenTheTextFits) {
  const QFont font = FittingFont({"JOG"}, 11, 200);
  EXPECT_EQ(font.pixelSize(), 11);
  EXPECT_EQ(font.stretch(), 100);
}

TEST(LegendFitting, NarrowsOrShrinksUntilEveryLineFits) {
  const QStringList lines = {"ELFOGAD", "DISPLAY"};
  const qreal width = QFontMetricsF(LegendFont(11)).horizontalAdvance("ELFOGAD") * 0.8;
  const QFont font = FittingFont(lines, 11, width);
  const QFontMetricsF metrics(font);
  EXPECT_TRUE(font.pixelSize() < 11 || font.stretch() < 100);
  for (const QString &line : lines) {
    EXPECT_LE(metrics.horizontalAdvance(line), width) << line.toStdString();
  }
}

TEST(LegendFitting, GivesTheSmallestFontForTextThatCannotFit) {
  const QFont font = FittingFont({"KIJELZŐ"}, 11, 3);
  EXPECT_EQ(font.pixelSize(), 5);
}

class KeyImages : public ::testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(BothSizes, KeyImages, ::testing::Values(60, 40));

TEST_P(KeyImages, EveryLegendFitsOnTheKeyTopInBothStates) {
  const int side = GetParam();
  for (int key = 0; key < kKeyCount; ++key) {
    for (bool pressed : {false, true}) {
      const QRectF legend = KeyLegendBounds(key, side, pressed);
      EXPECT_FALSE(legend.isEmpty()) << key;
      EXPECT_TRUE(KeyCap(side, pressed).contains(legend))
          << "key " << key << (pressed ? " pressed" : " released");
    }
  }
}

TEST_P(KeyImages, LegendSinksDownAndRightWhenPressed) {
  const int side = GetParam();
  for (int key = 0; key < kKeyCount; ++key) {
    const QPointF shift =
        KeyLegendBounds(key, side, true).center() - KeyLegendBounds(key, side, false).center();
    EXPECT_GE(shift.x(), 1) << key;
    EXPECT_LE(shift.x(), 2) << key;
    EXPECT_EQ(shift.x(), shift.y()) << key;
  }
}

// Fitting the longest legend must not shrink the text keys' lettering to specks.
TEST_P(KeyImages, TextLegendsKeepALegibleSize) {
  const int side = GetParam();
  for (int key : {kKeyDisplay, kKeyEscape, kKeyEnter, kKeyJog, kKeyDirection}) {
    EXPECT_GE(KeyLegendBounds(key, side, false).height(), side / 4.0) << key;
  }
  for (int key : {kKeyStart, kKeyStop}) {
    EXPECT_GE(KeyLegendBounds(key, side, false).height(), side / 7.0) << key;
  }
}

TEST_P(KeyImages, CornersBlendWithTheFace) {
  const int side = GetParam();
  const QImage strip = DrawKeyStrip(side);
  ASSERT_EQ(strip.size(), QSize(22 * side, side));
  for (int image = 0; image < 22; ++image) {
    const int left = image * side;
    for (QPoint corner : {QPoint(left, 0), QPoint(left + side - 1, 0), QPoint(left, side - 1),
                          QPoint(left + side - 1, side - 1)}) {
      EXPECT_EQ(QColor(strip.pixel(corner)), kFaceGrey) << image;
    }
  }
}

// Released keys throw their shadow to the bottom and right; pressed keys are shaded at the top
// and left.
TEST_P(KeyImages, ShadowSideFollowsTheKeyState) {
  const int side = GetParam();
  const int edge = side / 12;
  const QRect topBand(side / 3, edge, side / 3, edge);
  const QRect bottomBand(side / 3, side - 2 * edge, side / 3, edge);
  for (int key = 0; key < kKeyCount; ++key) {
    const QImage released = DrawKey(key, side, false);
    const QImage pressed = DrawKey(key, side, true);
    EXPECT_GT(MeanLuminance(released, topBand), MeanLuminance(released, bottomBand)) << key;
    EXPECT_LT(MeanLuminance(pressed, topBand), MeanLuminance(released, topBand)) << key;
    EXPECT_NE(released, pressed) << key;
  }
}

TEST(ResizeTriangles, PointTheWayTheirNameSays) {
  auto inkInRow = [](const QImage &image, int y) {
    int ink = 0;
    for (int x = 0; x < image.width(); ++x) {
      ink += qAlpha(image.pixel(x, y)) > 128 && qGray(image.pixel(x, y)) < 100;
    }
    return ink;
  };
  const QImage down = DrawResizeTriangle(true);
  const QImage up = DrawResizeTriangle(false);
  EXPECT_GT(inkInRow(down, 4), inkInRow(down, 8));
  EXPECT_LT(inkInRow(up, 4), inkInRow(up, 8));
  EXPECT_EQ(qAlpha(down.pixel(0, 0)), 0);
}

}  // namespace
}  // namespace pictures

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
