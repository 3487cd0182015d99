#include "memory_file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

#include "dialog_window.h"

void ConfigureMemoryFileDialog(QFileDialog &dialog) {
  dialog.setDefaultSuffix(QString::fromLatin1(kMemoryFileSuffix));
  dialog.setNameFilters(
      {QStringLiteral("VELTAR Terminál memória fájl (*.mem)"), QStringLiteral("Minden fájl (*)")});
}

QFileDialog *CreateMemoryOpenDialog(QWidget *parent) {
  auto *dialog = new QFileDialog(parent);
  dialog->setObjectName(QStringLiteral("OpenDialog"));
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  ConfigureMemoryFileDialog(*dialog);
  return dialog;
}

QFileDialog *CreateMemorySaveDialog(QWidget *parent) {
  auto *dialog = new QFileDialog(parent);
  dialog->setObjectName(QStringLiteral("SaveDialog"));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  ConfigureMemoryFileDialog(*dialog);
  return dialog;
}

QString RunMemoryFileDialog(QFileDialog &dialog, QString &lastFolder) {
  if (!lastFolder.isEmpty()) {
    dialog.setDirectory(lastFolder);
  }
  if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return QString();
  }
  const QString file = dialog.selectedFiles().first();
  lastFolder = QFileInfo(file).absolutePath();
  return file;
}

QFileDialog *TMemoryFileDialogs::OpenDialog() {
  if (openDialog_ == nullptr) {
    openDialog_ = CreateMemoryOpenDialog(parent_);
  }
  return openDialog_;
}

QFileDialog *TMemoryFileDialogs::SaveDialog() {
  if (saveDialog_ == nullptr) {
    saveDialog_ = CreateMemorySaveDialog(parent_);
  }
  return saveDialog_;
}
