// The commands of sorvanel-ctl, each returning the program's exit status.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "recipe.h"

namespace ctl {

enum TExitStatus {
  kExitDone = 0,
  kExitNotMet = 1,
  kExitBadUsage = 2,
  kExitNoProgram = 3,
};

struct TStreams {
  std::FILE *out = stdout;
  std::FILE *err = stderr;
};

// Programs with automation on, their port and settings file, one a line.
int ListPrograms(const QDBusConnection &bus, const TStreams &streams);

// The program to talk to: the one named, or the only one running. Empty, with
// a message written and *status set, when there is none to pick.
QString PickProgram(const QDBusConnection &bus, const QString &instance, const TStreams &streams,
                    int *status);

int ReadLines(const QDBusConnection &bus, const QString &service, const TStreams &streams);
int ReadLeds(const QDBusConnection &bus, const QString &service, const TStreams &streams);

// Plays steps on the program; what names a failed step is "where" ("sorvanel-ctl"
// or the recipe's file name).
int RunSteps(const QDBusConnection &bus, const QString &service, TRecipe recipe,
             const QString &where, const TStreams &streams);

void Print(std::FILE *stream, const QString &text);

}  // namespace ctl
