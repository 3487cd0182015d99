// The open and save dialogs of the memory files.
#pragma once

class QFileDialog;
class QWidget;

inline constexpr const char *kMemoryFileSuffix = "mem";

// Configures a file dialog for memory files: default suffix "mem", the
// memory-file filter first and "all files" second.
void ConfigureMemoryFileDialog(QFileDialog &dialog);

// Created on first use, owned by 'parent'.
QFileDialog *CreateMemoryOpenDialog(QWidget *parent);
QFileDialog *CreateMemorySaveDialog(QWidget *parent);
