#include "language.h"

#include <QAction>

#include "qt_translation.h"
#include "status_bar.h"

namespace {
constexpr int kConverterPanelText = 58;
constexpr int kProgTermPanelText = 59;
}  // namespace

void ApplyLanguage(const TLanguageTargets &targets, TLanguage language) {
  SetCurrentLanguage(language <= kLanguageEnglish ? language : kLanguageHungarian);
  ApplyQtTranslation(CurrentLanguage());
  for (int index = 0; index < kMenuCaptionCount; ++index) {
    if (targets.menuItems[index] != nullptr) {
      targets.menuItems[index]->setText(GetText(index));
    }
  }
  targets.statusBar->SetPanelText(1, GetText(kConverterPanelText));
  targets.statusBar->SetPanelText(2, GetText(kProgTermPanelText));
}

void Menu_LanguageClick(QAction *sender, const TLanguageTargets &targets,
                        TProgramSettings &settings) {
  const auto language = static_cast<TLanguage>(sender->data().toInt());
  ApplyLanguage(targets, language);
  sender->setChecked(true);
  settings.Language = CurrentLanguage();
}
