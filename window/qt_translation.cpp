#include "qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

QTranslator &HungarianTranslator() {
  static QTranslator translator;
  static const bool loaded =
      translator.load(QStringLiteral("qt_hu"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  Q_UNUSED(loaded);
  return translator;
}

}  // namespace

void ApplyQtTranslation(TLanguage language) {
  QTranslator &hungarian = HungarianTranslator();
  if (hungarian.isEmpty()) {
    return;
  }
  static bool installed = false;
  const bool wanted = language != kLanguageEnglish;
  if (wanted == installed) {
    return;
  }
  installed = wanted ? QCoreApplication::installTranslator(&hungarian)
                     : !QCoreApplication::removeTranslator(&hungarian);
}
