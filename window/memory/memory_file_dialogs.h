// The open and save dialogs of the memory files.
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

inline constexpr const char *kMemoryFileSuffix = "mem";

// Configures a file dialog for memory files: default suffix "mem", the
// memory-file filter first and "all files" second.
void ConfigureMemoryFileDialog(QFileDialog &dialog);

// Created on first use, owned by 'parent'.
QFileDialog *CreateMemoryOpenDialog(QWidget *parent);
QFileDialog *CreateMemorySaveDialog(QWidget *parent);

// Runs a memory-file dialog in 'lastFolder' (the folder a memory file was
// last loaded from or saved to; empty: the dialog's own start) and returns
// the file chosen, or an empty text when cancelled. A file chosen makes its
// folder the new 'lastFolder'.
QString RunMemoryFileDialog(QFileDialog &dialog, QString &lastFolder);

// The memory menu's two dialogs, each created on first use and owned by
// 'parent', and the folder a memory file was last loaded from or saved to,
// in which both open.
class TMemoryFileDialogs {
 public:
  explicit TMemoryFileDialogs(QWidget *parent) : parent_(parent) {}

  QFileDialog *OpenDialog();
  QFileDialog *SaveDialog();
  // The file chosen, or an empty text when cancelled.
  QString ChooseFileToLoad() { return RunMemoryFileDialog(*OpenDialog(), lastFolder_); }
  QString ChooseFileToSave() { return RunMemoryFileDialog(*SaveDialog(), lastFolder_); }

 private:
  QWidget *parent_;
  QFileDialog *openDialog_ = nullptr;
  QFileDialog *saveDialog_ = nullptr;
  QString lastFolder_;
};
