#include "palette.h"

#include <QFontInfo>

namespace pictures {

QFont LegendFont(int pixelSize, bool bold) {
  QFont font(kLegendFamily);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::PreferAntialias);
  font.setKerning(true);
  return font;
}

bool LegendFontAvailable() {
  return QFontInfo(LegendFont(10)).family() == kLegendFamily;
}

}  // namespace pictures
