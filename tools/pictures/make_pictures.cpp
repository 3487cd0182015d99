// Draws every picture of the terminal window and writes them as PNG files.
//
//   make_pictures [OUTPUT_FOLDER] [--icons ICON_FOLDER] [--preview FILE]
//
// OUTPUT_FOLDER defaults to resources/pictures, ICON_FOLDER (the desktop icons in the hicolor
// theme's layout, PNG sizes and a scalable SVG) to resources/icons. --preview also writes the big
// panel as the window shows it (face, keys, one key held, lit LEDs, sample text) for a visual
// check. The output depends only on this code and the installed legend font, so a rerun on the
// same machine gives byte-identical files; another CPU may round antialiased edges a step
// differently, which the tests in tests/tools/pictures allow for.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#include "icon_set.h"
#include "palette.h"
#include "panel_preview.h"
#include "picture_set.h"

namespace {

// PNGs carry a fixed 96 dpi so nothing of the machine ends up in the files.
bool WritePng(QImage image, const QDir &folder, const QString &name) {
  constexpr int kDotsPerMeterAt96Dpi = 3780;
  image.setDotsPerMeterX(kDotsPerMeterAt96Dpi);
  image.setDotsPerMeterY(kDotsPerMeterAt96Dpi);
  const QString path = folder.filePath(name);
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "make_pictures: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

bool WriteAllPictures(const QDir &folder) {
  bool ok = true;
  for (const pictures::NamedPicture &picture : pictures::AllPictures()) {
    ok &= WritePng(picture.image, folder, picture.fileName);
  }
  return ok;
}

bool WriteIcons(const QDir &folder) {
  bool ok = true;
  for (const pictures::ThemeIcon &icon : pictures::ThemeIcons()) {
    ok &= folder.mkpath(QFileInfo(icon.path).path()) && WritePng(icon.image, folder, icon.path);
  }
  const QString svgPath = folder.filePath(pictures::ScalableIconPath());
  QFile svg(svgPath);
  if (!folder.mkpath(QFileInfo(pictures::ScalableIconPath()).path()) ||
      !svg.open(QIODevice::WriteOnly) || svg.write(pictures::DrawScalableIcon()) < 0) {
    std::fprintf(stderr, "make_pictures: cannot write %s\n", qPrintable(svgPath));
    ok = false;
  }
  return ok;
}

}  // namespace

int main(int argc, char *argv[]) {
  // Always offscreen: the desktop's font and screen settings must not reach the pictures.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QString outputFolder = QStringLiteral("resources/pictures");
  QString iconFolder = QStringLiteral("resources/icons");
  QString previewFile;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--preview") && i + 1 < args.size()) {
      previewFile = args[++i];
    } else if (args[i] == QLatin1String("--icons") && i + 1 < args.size()) {
      iconFolder = args[++i];
    } else if (args[i].startsWith(QLatin1Char('-'))) {
      std::fprintf(stderr,
                   "usage: make_pictures [OUTPUT_FOLDER] [--icons ICON_FOLDER] [--preview FILE]\n");
      return EXIT_FAILURE;
    } else {
      outputFolder = args[i];
    }
  }

  if (!pictures::LegendFontAvailable()) {
    std::fprintf(stderr, "make_pictures: the font \"%s\" is not installed\n",
                 qPrintable(pictures::kLegendFamily));
    return EXIT_FAILURE;
  }
  QDir folder(outputFolder);
  if (!folder.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "make_pictures: cannot create %s\n", qPrintable(outputFolder));
    return EXIT_FAILURE;
  }
  if (!WriteAllPictures(folder) || !WriteIcons(QDir(iconFolder))) {
    return EXIT_FAILURE;
  }
  if (!previewFile.isEmpty() && !pictures::DrawPanelPreview().save(previewFile, "PNG")) {
    std::fprintf(stderr, "make_pictures: cannot write %s\n", qPrintable(previewFile));
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
