// The user's manual, help/sorvanel.html beside the program or in the
// installed program's data folder (file_locations.h).
#pragma once

#include <QString>

// Hands the manual to the desktop's viewer and returns at once. A missing
// viewer or manual is not reported.
void OpenHelp(const QString &helpFile);
