#include "language.h"

#include <QAction>

#include "qt_translation.h"
#include "status_bar.h"

void ApplyLanguage(const TLanguageTargets &targets, TLanguage language) {
  SetCurrentLanguage(language <= kLanguageEnglish ? language : kLanguageHungarian);
  ApplyQtTranslation(CurrentLanguage());
  for (int index = 0; index < kMenuCaptionCount; ++index) {
    if (targets.menuItems[index] != nullptr) {
      targets.menuItems[index]->setText(GetText(kTextMenuFile + index));
    }
  }
  for (const auto &[item, text] : targets.addedItems) {
    item->setText(GetText(text));
  }
  targets.statusBar->SetPanelText(1, GetText(kTextConverterPanel));
  targets.statusBar->SetPanelText(2, GetText(kTextProgTermPanel));
}

void Menu_LanguageClick(QAction *sender, const TLanguageTargets &targets,
                        TProgramSettings &settings) {
  const auto language = static_cast<TLanguage>(sender->data().toInt());
  ApplyLanguage(targets, language);
  sender->setChecked(true);
  settings.Language = CurrentLanguage();
}
