// The texts of the user interface in Hungarian and English, by index.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

using TLanguage = uint8_t;
inline constexpr TLanguage kLanguageHungarian = 0;
inline constexpr TLanguage kLanguageEnglish = 1;
inline constexpr int kLanguageCount = 2;
inline constexpr int kTextCount = 111;
// Texts of the line monitor and the capture file.
inline constexpr int kTextToolsMenu = 60;
inline constexpr int kTextLineMonitor = 61;
inline constexpr int kTextMonitorTime = 62;
inline constexpr int kTextMonitorDirection = 63;
inline constexpr int kTextMonitorBytes = 64;
inline constexpr int kTextMonitorHex = 65;
inline constexpr int kTextMonitorMeaning = 66;
inline constexpr int kTextMonitorCheck = 67;
inline constexpr int kTextDirectionReceived = 68;
inline constexpr int kTextDirectionSent = 69;
inline constexpr int kTextMonitorPause = 70;
inline constexpr int kTextMonitorClear = 71;
inline constexpr int kTextMonitorCopy = 72;
inline constexpr int kTextMonitorSave = 73;
inline constexpr int kTextCaptureStart = 74;
inline constexpr int kTextCaptureStop = 75;
inline constexpr int kTextFilterAll = 76;
inline constexpr int kTextDriveMessages = 77;
inline constexpr int kTextAnswers = 78;
inline constexpr int kTextProgTermFrames = 79;
inline constexpr int kTextFailedChecks = 80;
inline constexpr int kTextPortEvents = 81;
inline constexpr int kTextUnansweredHoldOff = 82;
inline constexpr int kTextSilentSeconds = 83;
inline constexpr int kTextDroppedCharacters = 84;
inline constexpr int kTextReconnects = 85;
inline constexpr int kTextTurnaround = 86;
inline constexpr int kTextTurnaroundFigures = 87;
inline constexpr int kTextMeaningDisplayLine = 88;
inline constexpr int kTextMeaningMemoryWrite = 89;
inline constexpr int kTextMeaningMemoryRead = 90;
inline constexpr int kTextMeaningKeepAlive = 91;
inline constexpr int kTextMeaningAnswer = 92;
inline constexpr int kTextMeaningProgTerm = 93;
inline constexpr int kTextMeaningOther = 94;
inline constexpr int kTextNoKeys = 95;
inline constexpr int kTextCheckOk = 96;
inline constexpr int kTextCheckNoStx = 97;
inline constexpr int kTextCheckBadCharacter = 98;
inline constexpr int kTextCheckBadLength = 99;
inline constexpr int kTextCheckBadChecksum = 100;
inline constexpr int kTextCheckNoEtx = 101;
inline constexpr int kTextWriteFailed = 102;
inline constexpr int kTextPortOpened = 103;
inline constexpr int kTextPortClosed = 104;
inline constexpr int kTextPortLost = 105;
inline constexpr int kTextPortReopened = 106;
inline constexpr int kTextCaptureOpenFailed = 107;
inline constexpr int kTextCaptureWriteFailed = 108;
inline constexpr int kTextSaveTextFailed = 109;
inline constexpr int kTextCapturing = 110;

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
