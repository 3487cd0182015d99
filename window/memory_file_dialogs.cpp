#include "memory_file_dialogs.h"

#include <QFileDialog>

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
