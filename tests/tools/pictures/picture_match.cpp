#include "picture_match.h"

#include <algorithm>
#include <cstdlib>

namespace pictures {
namespace {

int ChannelDistance(QRgb a, QRgb b) {
  return std::max({std::abs(qAlpha(a) - qAlpha(b)), std::abs(qRed(a) - qRed(b)),
                   std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

bool OnEdge(const QImage &image, int x, int y) {
  const QRgb own = image.pixel(x, y);
  for (int ny = std::max(0, y - 1); ny <= std::min(image.height() - 1, y + 1); ++ny) {
    for (int nx = std::max(0, x - 1); nx <= std::min(image.width() - 1, x + 1); ++nx) {
      if (ChannelDistance(own, image.pixel(nx, ny)) > kEdgeContrast) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

PictureMatch ComparePictures(const QImage &committed, const QImage &drawn) {
  PictureMatch match;
  match.sameSize = !committed.isNull() && committed.size() == drawn.size();
  if (!match.sameSize) {
    return match;
  }
  // Premultiplied, so that fully transparent pixels compare equal whatever colour they carry.
  const QImage a = committed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage b = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const bool edge = OnEdge(a, x, y) || OnEdge(b, x, y);
      const bool differs = ChannelDistance(a.pixel(x, y), b.pixel(x, y)) > kChannelTolerance;
      match.edgePixels += edge;
      if (differs && edge) {
        ++match.edgeDifferences;
      } else if (differs && match.plainDifferences++ == 0) {
        match.firstPlainDifference = QPoint(x, y);
      }
    }
  }
  return match;
}

bool LooksTheSame(const PictureMatch &match) {
  const int allowed = std::max(kEdgeAllowance, match.edgePixels * kEdgeSharePercent / 100);
  return match.sameSize && match.plainDifferences == 0 && match.edgeDifferences <= allowed;
}

QString Describe(const PictureMatch &match) {
  if (!match.sameSize) {
    return QStringLiteral("sizes differ");
  }
  return QStringLiteral(
             "%1 of %2 edge pixels differ, %3 pixels away from edges differ (first at "
             "%4,%5)")
      .arg(match.edgeDifferences)
      .arg(match.edgePixels)
      .arg(match.plainDifferences)
      .arg(match.firstPlainDifference.x())
      .arg(match.firstPlainDifference.y());
}

}  // namespace pictures
