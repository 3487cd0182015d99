// The memory view: the live terminal memory in hex, the bytes the converter
// wrote in the last seconds highlighted, and a comparison with a memory file
// that lists the differing runs with the same addresses as sorvanel-mem diff.
// A window of its own, opened from the Tools menu. Main thread only; while
// hidden it does no work but stamping the converter's writes.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "memory_diff.h"
#include "recent_writes.h"
#include "terminal_memory.h"

class QFont;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableView;
class QTimer;
class TMemoryTableModel;

class TForm_MemoryView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRefreshInterval = 250;  // ms
  // Bytes of a differing run shown in the list before "…".
  static constexpr uint32_t kListedRunBytes = 16;

  // 'memory' must outlive the view.
  explicit TForm_MemoryView(const TTerminalMemory &memory, QWidget *parent = nullptr,
                            TMonotonicClock clock = SteadyClockMs());
  ~TForm_MemoryView() override;

  // The converter wrote 'length' bytes from 'address'.
  void MemoryBlockWritten(uint32_t address, uint32_t length);
  // Re-captions the window in the current language.
  void ApplyLanguage();
  // Brings the table up to date and the highlights with it (the timer's work).
  void Refresh();
  // Lists where the memory differs from the memory file at 'path'.
  void CompareWithFile(const QString &path);

  TMemoryTableModel &Model() { return *model_; }
  QTableView *Table() const { return table_; }
  QListWidget *Differences() const { return differences_; }
  QString Summary() const;

 protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

 private:
  void BuildTable(const QFont &fixed);
  void BuildControls(const QFont &fixed);
  void ChooseFileToCompare();
  void ShowRun(QListWidgetItem *item);

  const TTerminalMemory &memory_;
  TRecentWrites recent_;
  TMemoryTableModel *model_ = nullptr;
  QTableView *table_ = nullptr;
  QLabel *note_ = nullptr;
  QPushButton *compareButton_ = nullptr;
  QLabel *summary_ = nullptr;
  QListWidget *differences_ = nullptr;
  QTimer *timer_ = nullptr;
  // The last comparison's summary, built from the texts when shown so it
  // follows the language.
  std::function<QString()> summaryText_;
};
