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
