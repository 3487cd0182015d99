#include "icon_set.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>

#include <cmath>

#include "small_pictures.h"

namespace pictures {
namespace {

constexpr int kScalableSide = 64;

QString IconFileName(const char *suffix) {
  return QString::fromLatin1(kIconName) + QString::fromLatin1(suffix);
}

}  // namespace

std::vector<ThemeIcon> ThemeIcons() {
  std::vector<ThemeIcon> icons;
  for (int side : kIconSides) {
    icons.push_back(
        {QStringLiteral("%1x%1/apps/").arg(side) + IconFileName(".png"), DrawIcon(side)});
  }
  return icons;
}

QString ScalableIconPath() {
  return QStringLiteral("scalable/apps/") + IconFileName(".svg");
}

QByteArray DrawScalableIcon() {
  QBuffer buffer;
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(QSize(kScalableSide, kScalableSide));
  generator.setViewBox(QRect(0, 0, kScalableSide, kScalableSide));
  generator.setTitle(QStringLiteral("Sorvanel"));
  generator.setDescription(QStringLiteral("VELTAR programming terminal"));
  QPainter painter(&generator);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal width = std::round(kScalableSide * 41.0 / 64.0);
  DrawMiniTerminal(painter,
                   QRectF(std::floor((kScalableSide - width) / 2), 0, width, kScalableSide));
  painter.end();
  return buffer.data();
}

}  // namespace pictures
