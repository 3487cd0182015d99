// Colours of the terminal picture.
#pragma once

#include <QColor>

inline const QColor kDisplayGreen(0, 128, 0);
inline const QColor kDisplayTextColor(192, 192, 192);  // silver
inline const QColor kErrorLedLit(255, 0, 0);
inline const QColor kRunLedLit(0, 128, 0);
inline const QColor kPanelGray(128, 128, 128);
inline const QColor kIndicatorActive(0, 0, 0);
inline const QColor kIndicatorInactive(128, 128, 128);
