// The two error dialogs about files (settings file, memory files). They always
// show fixed Hungarian texts, whichever language the rest of the interface
// uses: caption "Hiba!", the file name without its folder as headline, the
// reason as message, the error icon and a single OK button.
#pragma once

#include <QString>

// "A fájl nem írható! (Lehet, hogy írásvédett)" about the file at 'path'.
void ShowFileWriteError(const QString &path);

// "Hibás memória fájl!" about the file at 'path'.
void ShowCorruptFileError(const QString &path);
