// The texts of the user interface in Hungarian and English, by index 0..59.
#pragma once

#include <QString>
#include <cstdint>

using TLanguage = uint8_t;
inline constexpr TLanguage kLanguageHungarian = 0;
inline constexpr TLanguage kLanguageEnglish = 1;
inline constexpr int kTextCount = 60;

// Fills the table; called once at start before the first GetText.
void BuildTextTable();

// The text of 'index' in the current language; an empty entry falls back to
// Hungarian. An index outside 0..59 gives an empty text. Main thread only.
QString GetText(int index);

TLanguage CurrentLanguage();
// Any value other than 0 or 1 selects Hungarian.
void SetCurrentLanguage(TLanguage language);
