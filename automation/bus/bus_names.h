// The session-bus names of a program with its automation on.
#pragma once

#include <QString>

inline constexpr char kPanelBusNamePrefix[] = "org.sorvanel.Sorvanel.";
inline constexpr char kPanelObjectPath[] = "/org/sorvanel/Panel";
inline constexpr char kPanelInterface[] = "org.sorvanel.Panel1";
inline constexpr char kUnknownKeyError[] = "org.sorvanel.Panel1.Error.UnknownKey";

// The instance name of the program using 'settingsFile': the file's base
// name without its extension, every character other than A-Z, a-z, 0-9 and
// "_" made "_", a leading digit given a leading "_" ("_" for an empty name).
QString PanelInstanceName(const QString &settingsFile);

// The well-known name for an instance; 'attempt' 1 is the plain name, 2 on
// appends "_2", "_3", ... for when it is taken.
QString PanelBusName(const QString &instance, int attempt = 1);
