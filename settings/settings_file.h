// The settings file beside the program: section "Sorvanel" of an INI file
// with the nine keys of TProgramSettings.
#pragma once

#include <QByteArray>
#include <QString>

#include "program_settings.h"

inline constexpr const char *kSettingsSection = "Sorvanel";

// The program's path with its extension replaced by ".ini"; a program file
// without extension gets ".ini" appended (build/sorvanel -> build/sorvanel.ini).
QString SettingsFilePath(const QString &programPath);

// The settings held in the text of a settings file. Missing section or keys
// and values that are not numbers give the defaults; read values are clamped:
// Language other than 0 or 1 -> 0; Size below 0 -> 0, above 1 -> 1; Left and
// Top below 0 -> 0 and above 32767 -> 32767 (the largest 16-bit position).
// The network ports come from their own section (network_ports.h); the
// entries refused there are named in RefusedNetworkPorts. Accepts any bytes.
TProgramSettings ParseSettings(const QByteArray &fileText);

// ParseSettings of the file at 'path'; a missing or unreadable file, or one
// that is not a regular file (a FIFO is never opened), gives the defaults.
TProgramSettings ReadSettingsFile(const QString &path);

// The file text after saving 'settings' into 'fileText': section "Sorvanel"
// loses all its keys and gets the nine keys in the order Port, FindFreq,
// Size, AlwaysOnTop, Left, Top, PTConnect, PTDisconnect, Language. Port is
// written empty when FindFreq is set (a port found by the converter search
// is never remembered). Section "NetworkPorts" gets the network ports in
// their order (WriteNetworkPorts). Everything else in the text is kept as it
// was. Linear in the size of the text and of the settings.
QByteArray MergeSettings(const QByteArray &fileText, const TProgramSettings &settings);

// Saves 'settings' into the file at 'path' (see MergeSettings). The new text
// is written to a temporary file in the same folder, flushed to disk and
// renamed over the old file, so a failed save leaves the old file as it was.
// The file keeps its permission bits. Refused (false, file untouched) when
// the file exists but is read-only (no owner write permission, or not
// writable by this process), is not a regular file, or cannot be read; false
// also when the folder cannot be written or any write fails. The caller shows
// ShowFileWriteError on false.
bool WriteSettingsFile(const QString &path, const TProgramSettings &settings);
