// Colours and fonts shared by every picture.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace pictures {

inline const QColor kFaceGrey(222, 222, 221);
inline const QColor kPanelGrey(128, 128, 128);
inline const QColor kDisplayGreen(0, 128, 0);
inline const QColor kBezelDark(46, 50, 52);
inline const QColor kGrooveDark(150, 151, 152);
inline const QColor kGrooveLight(248, 248, 247);
inline const QColor kErrorRed(200, 24, 24);
inline const QColor kRunGreen(0, 135, 48);
inline const QColor kMakerText(92, 94, 97);

inline const QColor kKeyGrey(184, 186, 189);
inline const QColor kKeyGreen(36, 150, 64);
inline const QColor kKeyRed(204, 36, 36);
inline const QColor kArrowGrey(58, 60, 63);

inline const QString kLegendFamily = QStringLiteral("Liberation Sans");

// A bold sans-serif font of the given pixel size, optionally narrowed (stretch in percent), with
// hinting fixed so the output does not depend on the desktop's font settings.
QFont LegendFont(int pixelSize, int stretch = 100);

// Fails loudly when the legend family is not installed: another family would change the
// pictures silently.
bool LegendFontAvailable();

}  // namespace pictures
