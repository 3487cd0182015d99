// Qt's own texts (the buttons and labels of the file dialogs, the standard
// context menus) in the program's language, from the Qt translations the
// system has installed (Debian qt6-translations-l10n).
#pragma once

#include "text_table.h"

// Installs Qt's Hungarian translation for Hungarian and removes it for
// English (Qt's own texts are English). A missing translation file leaves
// Qt's texts in English.
void ApplyQtTranslation(TLanguage language);
