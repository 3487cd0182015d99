#include "file_error_dialogs.h"

#include <QFileInfo>

#include "message_dialog.h"
#include "text_table.h"

namespace {

void ShowFileError(const QString &path, int reasonText) {
  Luvamsg_ShowDialog(kMessageDialogIconError, GetHungarianText(kTextError),
                     QFileInfo(path).fileName(), GetHungarianText(reasonText),
                     kMessageDialogButtonOk);
}

}  // namespace

void ShowFileWriteError(const QString &path) {
  ShowFileError(path, kTextFileNotWritable);
}

void ShowCorruptFileError(const QString &path) {
  ShowFileError(path, kTextCorruptMemoryFile);
}
