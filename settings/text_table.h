// The texts of the user interface in Hungarian and English, by index.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

using TLanguage = uint8_t;
inline constexpr TLanguage kLanguageHungarian = 0;
inline constexpr TLanguage kLanguageEnglish = 1;
inline constexpr int kLanguageCount = 2;
inline constexpr int kTextCount = 119;

// Texts added after the original 60, named so they are never used by number.
// The Tools menu and the memory view:
inline constexpr int kTextToolsMenu = 60;
inline constexpr int kTextMemoryView = 61;
inline constexpr int kTextCompareWithFile = 62;
inline constexpr int kTextRecentWritesNote = 63;
inline constexpr int kTextCompareSame = 64;           // %1 file name
inline constexpr int kTextCompareDiffers = 65;        // %1 runs, %2 bytes, %3 file name
inline constexpr int kTextCompareUnreadable = 66;     // %1 file name
inline constexpr int kTextCompareNotMemoryFile = 67;  // %1 file name
inline constexpr int kTextCompareShortFile = 68;      // %1 data bytes
// The line monitor and the capture file:
inline constexpr int kTextLineMonitor = 69;
inline constexpr int kTextMonitorTime = 70;
inline constexpr int kTextMonitorDirection = 71;
inline constexpr int kTextMonitorBytes = 72;
inline constexpr int kTextMonitorHex = 73;
inline constexpr int kTextMonitorMeaning = 74;
inline constexpr int kTextMonitorCheck = 75;
inline constexpr int kTextDirectionReceived = 76;
inline constexpr int kTextDirectionSent = 77;
inline constexpr int kTextMonitorPause = 78;
inline constexpr int kTextMonitorClear = 79;
inline constexpr int kTextMonitorCopy = 80;
inline constexpr int kTextMonitorSave = 81;
inline constexpr int kTextCaptureStart = 82;
inline constexpr int kTextCaptureStop = 83;
inline constexpr int kTextFilterAll = 84;
inline constexpr int kTextDriveMessages = 85;
inline constexpr int kTextAnswers = 86;
inline constexpr int kTextProgTermFrames = 87;
inline constexpr int kTextFailedChecks = 88;
inline constexpr int kTextPortEvents = 89;
inline constexpr int kTextUnansweredHoldOff = 90;
inline constexpr int kTextSilentSeconds = 91;
inline constexpr int kTextDroppedCharacters = 92;
inline constexpr int kTextReconnects = 93;
inline constexpr int kTextTurnaround = 94;
inline constexpr int kTextTurnaroundFigures = 95;
inline constexpr int kTextMeaningDisplayLine = 96;
inline constexpr int kTextMeaningMemoryWrite = 97;
inline constexpr int kTextMeaningMemoryRead = 98;
inline constexpr int kTextMeaningKeepAlive = 99;
inline constexpr int kTextMeaningAnswer = 100;
inline constexpr int kTextMeaningProgTerm = 101;
inline constexpr int kTextMeaningOther = 102;
inline constexpr int kTextNoKeys = 103;
inline constexpr int kTextCheckOk = 104;
inline constexpr int kTextCheckNoStx = 105;
inline constexpr int kTextCheckBadCharacter = 106;
inline constexpr int kTextCheckBadLength = 107;
inline constexpr int kTextCheckBadChecksum = 108;
inline constexpr int kTextCheckNoEtx = 109;
inline constexpr int kTextWriteFailed = 110;
inline constexpr int kTextPortOpened = 111;
inline constexpr int kTextPortClosed = 112;
inline constexpr int kTextPortLost = 113;
inline constexpr int kTextPortReopened = 114;
inline constexpr int kTextCaptureOpenFailed = 115;
inline constexpr int kTextCaptureWriteFailed = 116;
inline constexpr int kTextSaveTextFailed = 117;
inline constexpr int kTextCapturing = 118;

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
