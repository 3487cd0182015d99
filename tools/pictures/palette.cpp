#include "palette.h"

#include <QFontInfo>

namespace pictures {

QFont LegendFont(int pixelSize, int stretch) {
  QFont font(kLegendFamily);
  font.setPixelSize(pixelSize);
  font.setBold(true);
  font.setStretch(stretch);
  // Vertical hinting keeps the strokes crisp at small sizes without distorting the letter widths.
  font.setHintingPreference(QFont::PreferVerticalHinting);
  font.setStyleStrategy(QFont::PreferAntialias);
  font.setKerning(true);
  return font;
}

bool LegendFontAvailable() {
  return QFontInfo(LegendFont(10)).family() == kLegendFamily;
}

}  // namespace pictures
