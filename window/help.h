// The user's manual, installed as help/sorvanel.html beside the program.
#pragma once

#include <QString>

QString HelpFilePath(const QString &programPath);

// Hands the manual to the desktop's viewer and returns at once. A missing
// viewer or manual is not reported.
void OpenHelp(const QString &programPath);
