#include "file_error_dialogs.h"

#include <QFileInfo>

#include "message_dialog.h"

namespace {

void ShowFileError(const QString &path, const char *reason) {
  Luvamsg_ShowDialog(kMessageDialogIconError, QString::fromUtf8("Hiba!"),
                     QFileInfo(path).fileName(), QString::fromUtf8(reason), kMessageDialogButtonOk);
}

}  // namespace

void ShowFileWriteError(const QString &path) {
  ShowFileError(path, "A fájl nem írható! (Lehet, hogy írásvédett)");
}

void ShowCorruptFileError(const QString &path) {
  ShowFileError(path, "Hibás memória fájl!");
}
