// The committed pictures and icons must be what the generator draws. Drawing is compared by eye,
// not byte for byte: antialiased edges differ a little between machines (see picture_match.h).

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <set>
#include <vector>

#include "icon_set.h"
#include "key_pictures.h"
#include "palette.h"
#include "picture_match.h"
#include "picture_set.h"
#include "small_pictures.h"

namespace pictures {
namespace {

const QDir kCommittedPictures(QStringLiteral(SORVANEL_SOURCE_DIR "/resources/pictures"));
const QDir kCommittedIcons(QStringLiteral(SORVANEL_SOURCE_DIR "/resources/icons"));

std::set<QString> FilesUnder(const QDir &folder, const QStringList &patterns) {
  std::set<QString> files;
  QDirIterator it(folder.path(), patterns, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    files.insert(folder.relativeFilePath(it.next()));
  }
  return files;
}

QImage RenderSvg(const QByteArray &svg, int side) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) {
    return {};
  }
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

void ExpectLooksTheSame(const QImage &committed, const QImage &drawn, const QString &name) {
  ASSERT_FALSE(committed.isNull()) << name.toStdString() << " cannot be read";
  const PictureMatch match = ComparePictures(committed, drawn);
  EXPECT_TRUE(LooksTheSame(match))
      << name.toStdString() << ": " << Describe(match).toStdString()
      << "\nregenerate with: make_pictures resources/pictures --icons resources/icons";
}

TEST(CommittedPictures, AreExactlyTheFilesTheGeneratorWrites) {
  std::set<QString> pictures;
  for (const NamedPicture &picture : AllPictures()) {
    pictures.insert(picture.fileName);
  }
  EXPECT_EQ(FilesUnder(kCommittedPictures, {QStringLiteral("*.png")}), pictures);

  std::set<QString> icons = {ScalableIconPath()};
  for (const ThemeIcon &icon : ThemeIcons()) {
    icons.insert(icon.path);
  }
  EXPECT_EQ(FilesUnder(kCommittedIcons, {QStringLiteral("*")}), icons);
}

TEST(CommittedPictures, LookLikeWhatTheGeneratorDraws) {
  for (const NamedPicture &picture : AllPictures()) {
    ExpectLooksTheSame(QImage(kCommittedPictures.filePath(picture.fileName)), picture.image,
                       picture.fileName);
  }
  for (const ThemeIcon &icon : ThemeIcons()) {
    ExpectLooksTheSame(QImage(kCommittedIcons.filePath(icon.path)), icon.image, icon.path);
  }
  QFile svg(kCommittedIcons.filePath(ScalableIconPath()));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly)) << ScalableIconPath().toStdString();
  const QByteArray committedSvg = svg.readAll();
  for (int side : {64, 256}) {
    ExpectLooksTheSame(RenderSvg(committedSvg, side), RenderSvg(DrawScalableIcon(), side),
                       ScalableIconPath() + QStringLiteral(" at %1 pixels").arg(side));
  }
}

// The pixels where the antialiasing of a drawn picture is at its most delicate: on an edge,
// between two differently coloured neighbours.
std::vector<QPoint> EdgePixels(const QImage &image) {
  std::vector<QPoint> edges;
  for (int y = 1; y + 1 < image.height(); ++y) {
    for (int x = 1; x + 1 < image.width(); ++x) {
      if (image.pixel(x - 1, y) != image.pixel(x, y) &&
          image.pixel(x + 1, y) != image.pixel(x, y)) {
        edges.emplace_back(x, y);
      }
    }
  }
  return edges;
}

QImage ShiftEdgePixels(QImage image, std::size_t count, int step) {
  image = image.convertToFormat(QImage::Format_ARGB32);
  const std::vector<QPoint> edges = EdgePixels(image);
  for (std::size_t i = 0; i < count && i < edges.size(); ++i) {
    const QPoint at = edges[i * edges.size() / count];
    const QRgb p = image.pixel(at);
    image.setPixel(at, qRgba(std::clamp(qRed(p) + step, 0, 255),
                             std::clamp(qGreen(p) - step, 0, 255), qBlue(p), qAlpha(p)));
  }
  return image;
}

TEST(PictureMatch, ToleratesAFewEdgePixelsAntialiasedOtherwise) {
  for (const QImage &drawn : {DrawIcon(64), DrawKeyStrip(40)}) {
    EXPECT_TRUE(LooksTheSame(ComparePictures(drawn, drawn)));
    const QImage otherMachine = ShiftEdgePixels(drawn, 30, 40);
    const PictureMatch match = ComparePictures(drawn, otherMachine);
    EXPECT_EQ(match.edgeDifferences, 30);
    EXPECT_TRUE(LooksTheSame(match)) << Describe(match).toStdString();
  }
}

TEST(PictureMatch, CatchesEdgesRedrawnAllOver) {
  const QImage drawn = DrawIcon(64);
  const PictureMatch match = ComparePictures(drawn, ShiftEdgePixels(drawn, 2000, 40));
  EXPECT_FALSE(LooksTheSame(match)) << Describe(match).toStdString();
}

TEST(PictureMatch, CatchesAKeyTopInAnotherColour) {
  const int side = 60;
  const QImage drawn = DrawKeyStrip(side).convertToFormat(QImage::Format_ARGB32);
  QImage recoloured = drawn;
  const QRect top = KeyCap(side, false).toAlignedRect().adjusted(2, 2, -2, -2);
  for (int y = top.top(); y <= top.bottom(); ++y) {
    for (int x = top.left(); x <= top.right(); ++x) {
      const QRgb p = recoloured.pixel(x, y);
      recoloured.setPixel(x, y, qRgb(qRed(p), qGreen(p), std::min(qBlue(p) + 6, 255)));
    }
  }
  const PictureMatch match = ComparePictures(drawn, recoloured);
  EXPECT_GT(match.plainDifferences, 0);
  EXPECT_FALSE(LooksTheSame(match));
}

TEST(PictureMatch, CatchesAnotherSize) {
  const QImage drawn = DrawIcon(64);
  EXPECT_FALSE(LooksTheSame(ComparePictures(drawn, drawn.copy(0, 0, 64, 63))));
  EXPECT_FALSE(LooksTheSame(ComparePictures(QImage(), QImage())));
}

}  // namespace
}  // namespace pictures
