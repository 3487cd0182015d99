// The terminal memory as a table: 512 rows of 16 bytes in hex plus their
// ASCII, each row headed by its address (0xHHHH). Shows a snapshot that
// Refresh brings up to date, so the view only repaints rows that changed;
// bytes the converter wrote lately get a highlight background.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <vector>

#include "recent_writes.h"
#include "terminal_memory.h"

class TMemoryTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kByteColumns = 16;
  static constexpr int kAsciiColumn = kByteColumns;

  // Both must outlive the model.
  TMemoryTableModel(const TTerminalMemory &memory, const TRecentWrites &recent,
                    QObject *parent = nullptr);

  static QColor HighlightColor() { return {255, 214, 102}; }

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Takes the memory as it is now and announces the rows that changed, and
  // the rows in 'highlightRows' (ascending), whose highlight changed.
  void Refresh(const std::vector<int> &highlightRows);

  // The cell of a byte's hex.
  QModelIndex IndexOf(uint32_t address) const;

 private:
  const TTerminalMemory &memory_;
  const TRecentWrites &recent_;
  TTerminalMemory shown_;
};
