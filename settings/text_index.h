// The indices of the original 60 texts of the text table (text_table.h), by
// what each text is for. Texts added later are named in text_table.h.
#pragma once

// Captions of the main menu, in menu order.
inline constexpr int kTextMenuFile = 0;
inline constexpr int kTextMenuExit = 1;
inline constexpr int kTextMenuMemory = 2;
inline constexpr int kTextMenuMemoryLoad = 3;
inline constexpr int kTextMenuMemorySave = 4;
inline constexpr int kTextMenuMemoryClear = 5;
inline constexpr int kTextMenuSettings = 6;
inline constexpr int kTextMenuPortHandling = 7;
inline constexpr int kTextMenuFindAvailablePorts = 8;
inline constexpr int kTextMenuFindFrequencyConverter = 9;
inline constexpr int kTextMenuTerminalSizeBig = 10;
inline constexpr int kTextMenuTerminalSizeSmall = 11;
inline constexpr int kTextMenuAlwaysOnTop = 12;
inline constexpr int kTextMenuProgTermAlert = 13;
inline constexpr int kTextMenuProgTermAlertOnConnect = 14;
inline constexpr int kTextMenuProgTermAlertOnDisconnect = 15;
inline constexpr int kTextMenuLanguage = 16;
inline constexpr int kTextMenuLanguageHun = 17;
inline constexpr int kTextMenuLanguageEng = 18;
inline constexpr int kTextMenuHelp = 19;
inline constexpr int kTextMenuOpenHelp = 20;
inline constexpr int kTextMenuAbout = 21;

// Display lines 2 and 3 of the status screens; each line 3 follows its line 2.
inline constexpr int kTextNoCommunicationLine2 = 22;
inline constexpr int kTextNoCommunicationLine3 = 23;
inline constexpr int kTextNoPortLine2 = 24;
inline constexpr int kTextNoPortLine3 = 25;
inline constexpr int kTextSearchingLine2 = 26;
inline constexpr int kTextSearchingLine3 = 27;  // followed directly by the port name

// The port error dialogs: caption, headline by kind of port, and the reason
// a serial port did not open.
inline constexpr int kTextError = 28;
inline constexpr int kTextUsbPortError = 29;
inline constexpr int kTextSerialPortError = 30;
inline constexpr int kTextPortNotFound = 31;
inline constexpr int kTextAccessDenied = 32;
inline constexpr int kTextNotReady = 33;
inline constexpr int kTextNotSupported = 34;
inline constexpr int kTextNoSuchDevice = 35;
inline constexpr int kTextOpenFailed = 36;
inline constexpr int kTextDeviceBusy = 37;
inline constexpr int kTextIoDeviceError = 38;
inline constexpr int kTextNoSerialDevice = 39;
inline constexpr int kTextBadDevice = 40;

// The file error dialogs' reasons, shown in Hungarian in either language.
inline constexpr int kTextFileNotWritable = 41;
inline constexpr int kTextCorruptMemoryFile = 42;

// The programming-terminal alerts.
inline constexpr int kTextProgTermConnected = 43;
inline constexpr int kTextProgTermConnectedMessage = 44;
inline constexpr int kTextProgTermDisconnected = 45;
inline constexpr int kTextProgTermDisconnectedMessage = 46;
inline constexpr int kTextShowAlertNextTime = 47;

// Dialog buttons.
inline constexpr int kTextButtonOk = 48;
inline constexpr int kTextButtonYes = 49;
inline constexpr int kTextButtonYesToAll = 50;
inline constexpr int kTextButtonNo = 51;
inline constexpr int kTextButtonNoToAll = 52;
inline constexpr int kTextButtonSkipAll = 53;
inline constexpr int kTextButtonAbort = 54;
inline constexpr int kTextButtonRetry = 55;
inline constexpr int kTextButtonIgnore = 56;
inline constexpr int kTextButtonCancel = 57;

// Status bar panels 1 and 2.
inline constexpr int kTextConverterPanel = 58;
inline constexpr int kTextProgTermPanel = 59;
