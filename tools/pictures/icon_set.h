// The program's icon for the desktop: the terminal miniature in the hicolor theme's sizes and as a
// scalable SVG, named after the application id.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

namespace pictures {

// The name every icon file carries (the desktop entry's Icon= key).
inline constexpr char kIconName[] = "hu.sorvanel.Sorvanel";

// The pixel sizes installed into hicolor/<side>x<side>/apps.
inline constexpr int kIconSides[] = {16, 24, 32, 48, 64, 128, 256};

struct ThemeIcon {
  QString path;  // relative to the icon folder, e.g. "48x48/apps/hu.sorvanel.Sorvanel.png"
  QImage image;
};

std::vector<ThemeIcon> ThemeIcons();

// Path of the scalable icon relative to the icon folder, and its SVG text.
QString ScalableIconPath();
QByteArray DrawScalableIcon();

}  // namespace pictures
