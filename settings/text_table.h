// The texts of the user interface in Hungarian and English, by index.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "text_index.h"

using TLanguage = uint8_t;
inline constexpr TLanguage kLanguageHungarian = 0;
inline constexpr TLanguage kLanguageEnglish = 1;
inline constexpr int kLanguageCount = 2;
inline constexpr int kTextCount = 169;

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

// Network ports: the port menu's item, the reasons a network port did not
// open, and the network ports dialog.
inline constexpr int kTextNetworkPorts = 69;
inline constexpr int kTextNetworkHostNotFound = 70;
inline constexpr int kTextNetworkConnectionRefused = 71;
inline constexpr int kTextNetworkNoAnswer = 72;
inline constexpr int kTextNetworkSettingsRefused = 73;
inline constexpr int kTextNetworkConnectionClosed = 74;
inline constexpr int kTextNetworkInvalidAddress = 75;
inline constexpr int kTextNetworkPortsTitle = 76;
inline constexpr int kTextNetworkPortName = 77;
inline constexpr int kTextNetworkPortUrl = 78;
inline constexpr int kTextNetworkPortAdd = 79;
inline constexpr int kTextNetworkPortRemove = 80;
inline constexpr int kTextNetworkPortTry = 81;
inline constexpr int kTextNetworkPortTryOk = 82;
inline constexpr int kTextNetworkPortInvalidName = 83;
inline constexpr int kTextNetworkPortDuplicateName = 84;
inline constexpr int kTextNetworkPortTrying = 85;
// The line monitor and the capture file:
inline constexpr int kTextLineMonitor = 86;
inline constexpr int kTextMonitorTime = 87;
inline constexpr int kTextMonitorDirection = 88;
inline constexpr int kTextMonitorBytes = 89;
inline constexpr int kTextMonitorHex = 90;
inline constexpr int kTextMonitorMeaning = 91;
inline constexpr int kTextMonitorCheck = 92;
inline constexpr int kTextDirectionReceived = 93;
inline constexpr int kTextDirectionSent = 94;
inline constexpr int kTextMonitorPause = 95;
inline constexpr int kTextMonitorClear = 96;
inline constexpr int kTextMonitorCopy = 97;
inline constexpr int kTextMonitorSave = 98;
inline constexpr int kTextCaptureStart = 99;
inline constexpr int kTextCaptureStop = 100;
inline constexpr int kTextFilterAll = 101;
inline constexpr int kTextDriveMessages = 102;
inline constexpr int kTextAnswers = 103;
inline constexpr int kTextProgTermFrames = 104;
inline constexpr int kTextFailedChecks = 105;
inline constexpr int kTextPortEvents = 106;
inline constexpr int kTextUnansweredHoldOff = 107;
inline constexpr int kTextSilentSeconds = 108;
inline constexpr int kTextDroppedCharacters = 109;
inline constexpr int kTextReconnects = 110;
inline constexpr int kTextTurnaround = 111;
inline constexpr int kTextTurnaroundFigures = 112;
inline constexpr int kTextMeaningDisplayLine = 113;
inline constexpr int kTextMeaningMemoryWrite = 114;
inline constexpr int kTextMeaningMemoryRead = 115;
inline constexpr int kTextMeaningKeepAlive = 116;
inline constexpr int kTextMeaningAnswer = 117;
inline constexpr int kTextMeaningProgTerm = 118;
inline constexpr int kTextMeaningOther = 119;
inline constexpr int kTextNoKeys = 120;
inline constexpr int kTextCheckOk = 121;
inline constexpr int kTextCheckNoStx = 122;
inline constexpr int kTextCheckBadCharacter = 123;
inline constexpr int kTextCheckBadLength = 124;
inline constexpr int kTextCheckBadChecksum = 125;
inline constexpr int kTextCheckNoEtx = 126;
inline constexpr int kTextWriteFailed = 127;
inline constexpr int kTextPortOpened = 128;
inline constexpr int kTextPortClosed = 129;
inline constexpr int kTextPortLost = 130;
inline constexpr int kTextPortReopened = 131;
inline constexpr int kTextCaptureOpenFailed = 132;
inline constexpr int kTextCaptureWriteFailed = 133;
inline constexpr int kTextSaveTextFailed = 134;
inline constexpr int kTextCapturing = 135;
// The line monitor's explanation of its unanswered count:
inline constexpr int kTextUnansweredHoldOffTip = 136;
// Network port addresses longer than the settings file gives whole:
inline constexpr int kTextNetworkPortUrlTooLong = 137;  // %1 most characters
inline constexpr int kTextNetworkPortsRefused = 138;    // %1 most characters
inline constexpr int kTextAndMore = 139;                // %1 count
// A network port's open error: %1 the reason, %2 the address tried.
inline constexpr int kTextNetworkErrorAddress = 140;
// Network ports inside TLS: why one did not open, and trusting a server's
// certificate from the network ports dialog.
inline constexpr int kTextTlsCertificateNotTrusted = 141;
inline constexpr int kTextTlsCertificateWrongName = 142;
inline constexpr int kTextTlsCertificateExpired = 143;
inline constexpr int kTextTlsFingerprintMismatch = 144;
inline constexpr int kTextTlsClientCertificateRequired = 145;
inline constexpr int kTextTlsHandshakeFailed = 146;
inline constexpr int kTextTlsKeyFileExposed = 147;
inline constexpr int kTextTlsFileUnusable = 148;
inline constexpr int kTextTlsCertificateTitle = 149;
inline constexpr int kTextTlsCertificateDetails = 150;  // %1 subject … %5 fingerprint
inline constexpr int kTextTlsPinCertificate = 151;
inline constexpr int kTextTlsCertificatePinned = 152;
// The serial port error dialog's reason line for a TLS failure (%1 the
// reason), and why a file of a TLS address could not be read:
inline constexpr int kTextTlsConnectionFailed = 153;
inline constexpr int kTextFileDoesNotExist = 154;
inline constexpr int kTextFileNoPermission = 155;
// Automation on the session bus: the Tools menu's item, the status bar's
// note while it is on, and why it could not be turned on (%1 the reason).
inline constexpr int kTextAutomation = 156;
inline constexpr int kTextAutomationOn = 157;
inline constexpr int kTextAutomationFailed = 158;
// The FTDI adapter's node refuses the user (USB1, USB2, ...).
inline constexpr int kTextUsbNoPermission = 159;
// Recipes recorded and played from the Tools menu: the two items, the file
// dialog's filters, the status bar's notes while one records or plays, and
// how a play ended (the detail, in English, follows the headline).
inline constexpr int kTextRecordRecipe = 160;
inline constexpr int kTextPlayRecipe = 161;
inline constexpr int kTextRecipeFiles = 162;
inline constexpr int kTextAllFiles = 163;
inline constexpr int kTextRecordingNote = 164;
inline constexpr int kTextPlayingNote = 165;
inline constexpr int kTextBadRecipe = 166;
inline constexpr int kTextRecipeDone = 167;
inline constexpr int kTextRecipeStopped = 168;

// Rows by language, columns by text index.
using TTextTable = std::array<std::array<QString, kTextCount>, kLanguageCount>;

// Fills the table; called once at start before the first GetText. (GetText
// also fills it on first use, so an early caller never sees empty texts.)
void BuildTextTable();

// The text of 'index' in the current language; an empty entry falls back to
// Hungarian. An index outside the table gives an empty text. Main thread only.
QString GetText(int index);

// The Hungarian text of 'index', whatever the current language (for the
// dialogs that always speak Hungarian). Main thread only.
QString GetHungarianText(int index);

// The lookup GetText makes, on any table: the text of 'index' in 'language'
// (a language other than 0 or 1 reads Hungarian), the Hungarian text when
// that entry is empty, an empty text for an index outside the table.
QString LookUpText(const TTextTable &table, TLanguage language, int index);

TLanguage CurrentLanguage();
// Any value other than 0 or 1 selects Hungarian.
void SetCurrentLanguage(TLanguage language);
