#include "display_font.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <cmath>

int DisplayFontPointSize(int size, int dpi) {
  if (dpi <= 0) {
    dpi = 96;
  }
  const double points = (size == 0 ? 16.0 : 11.0) * 96.0 / dpi;
  return static_cast<int>(std::lround(points));
}

int DisplayPitch(int size) {
  return size == 0 ? kDisplayPitchBig : kDisplayPitchSmall;
}

QFont MakeDisplayFont(int size, const QPaintDevice *device) {
  QFont font(QStringLiteral("Liberation Mono"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setBold(true);
  font.setKerning(false);
  font.setPointSize(DisplayFontPointSize(size, device->logicalDpiY()));

  const double advance = QFontMetricsF(font, device).horizontalAdvance(QLatin1Char('M'));
  const double spacing = DisplayPitch(size) - advance;
  if (std::abs(spacing) > 1e-6) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  }
  return font;
}

int StatusBarFontPointSize(int currentPointSize, int dpi) {
  if (dpi <= 0) {
    return currentPointSize;
  }
  return currentPointSize * 96 / dpi;
}
