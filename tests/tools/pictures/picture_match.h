// Compares a freshly drawn picture with its committed file the way the eye would.
//
// Antialiased edges come out a little different from one machine to the next (the raster
// engine's SIMD path, rounding in its blending), so pixels on an edge may differ. Everything
// else must be the same: the size exactly, and every pixel away from the edges within a few
// steps per channel, so that a changed region or key colour is always caught.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

namespace pictures {

// Steps per channel (premultiplied 8-bit ARGB) that count as the same colour.
inline constexpr int kChannelTolerance = 2;
// A pixel lies on an edge when its 3x3 neighbourhood, in either picture, holds a colour further
// than this from its own.
inline constexpr int kEdgeContrast = 12;
// Share of the edge pixels that may differ, in percent, and the count always allowed however
// few edge pixels a picture has.
inline constexpr int kEdgeSharePercent = 5;
inline constexpr int kEdgeAllowance = 4;

struct PictureMatch {
  bool sameSize = false;
  int edgePixels = 0;        // pixels on an edge in either picture
  int edgeDifferences = 0;   // edge pixels whose colour differs
  int plainDifferences = 0;  // pixels away from every edge whose colour differs
  QPoint firstPlainDifference{-1, -1};
};

PictureMatch ComparePictures(const QImage &committed, const QImage &drawn);

// True when the pictures have the same size, no plain pixel differs and the differing edge
// pixels stay within their share.
bool LooksTheSame(const PictureMatch &match);

// One line for a failure message.
QString Describe(const PictureMatch &match);

}  // namespace pictures
