// The texts of the user interface in Hungarian and English, by index.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

using TLanguage = uint8_t;
inline constexpr TLanguage kLanguageHungarian = 0;
inline constexpr TLanguage kLanguageEnglish = 1;
inline constexpr int kLanguageCount = 2;
inline constexpr int kTextCount = 77;

// Network ports: the port menu's item, the reasons a network port did not
// open, and the network ports dialog.
inline constexpr int kTextNetworkPorts = 60;
inline constexpr int kTextNetworkHostNotFound = 61;
inline constexpr int kTextNetworkConnectionRefused = 62;
inline constexpr int kTextNetworkNoAnswer = 63;
inline constexpr int kTextNetworkSettingsRefused = 64;
inline constexpr int kTextNetworkConnectionClosed = 65;
inline constexpr int kTextNetworkInvalidAddress = 66;
inline constexpr int kTextNetworkPortsTitle = 67;
inline constexpr int kTextNetworkPortName = 68;
inline constexpr int kTextNetworkPortUrl = 69;
inline constexpr int kTextNetworkPortAdd = 70;
inline constexpr int kTextNetworkPortRemove = 71;
inline constexpr int kTextNetworkPortTry = 72;
inline constexpr int kTextNetworkPortTryOk = 73;
inline constexpr int kTextNetworkPortInvalidName = 74;
inline constexpr int kTextNetworkPortDuplicateName = 75;
inline constexpr int kTextNetworkPortTrying = 76;

// Rows by language, columns by text index.
using TTextTable = std::array<std::array<QString, kTextCount>, kLanguageCount>;

// Fills the table; called once at start before the first GetText. (GetText
// also fills it on first use, so an early caller never sees empty texts.)
void BuildTextTable();

// The text of 'index' in the current language; an empty entry falls back to
// Hungarian. An index outside the table gives an empty text. Main thread only.
QString GetText(int index);

// The lookup GetText makes, on any table: the text of 'index' in 'language'
// (a language other than 0 or 1 reads Hungarian), the Hungarian text when
// that entry is empty, an empty text for an index outside the table.
QString LookUpText(const TTextTable &table, TLanguage language, int index);

TLanguage CurrentLanguage();
// Any value other than 0 or 1 selects Hungarian.
void SetCurrentLanguage(TLanguage language);
