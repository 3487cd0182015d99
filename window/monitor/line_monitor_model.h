// The rows of the line monitor: the last kCapacity frames and events, oldest
// first. Rows arrive in batches; when a batch takes the model past its
// capacity the oldest rows leave first. The texts are made when a row is
// shown, so a language switch shows every row in the new language.
// Each row has a serial (kRowSerialRole) that stays with it while it is in
// the list and is never given to another row, so a view may keep what it
// drew of a row for as long as the model reports no change of data.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <deque>
#include <vector>

#include "line_monitor_rows.h"

class TLineMonitorModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr size_t kCapacity = 10000;
  static constexpr int kRowSerialRole = Qt::UserRole;
  enum TColumn {
    kColumnTime,
    kColumnDirection,
    kColumnPrintable,
    kColumnHex,
    kColumnMeaning,
    kColumnCheck,
    kColumnCount
  };

  explicit TLineMonitorModel(QObject *parent = nullptr, size_t capacity = kCapacity);

  void Append(std::vector<TLineRow> rows);
  void Clear();
  // Headers and rows read again in the current language.
  void Retranslate();
  const TLineRow &Row(int index) const { return rows_[static_cast<size_t>(index)]; }
  size_t Capacity() const { return capacity_; }

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void DropOldest(size_t count);

  size_t capacity_;
  std::deque<TLineRow> rows_;
  quint64 firstSerial_ = 0;  // the serial of rows_.front()
};

// Shows the rows of the kinds chosen.
class TLineKindFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  enum TChoice { kAll, kDriveMessages, kAnswers, kProgTerm, kFailed, kPortEvents, kChoiceCount };

  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetChoice(int choice);
  int Choice() const { return choice_; }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

 private:
  int choice_ = kAll;
};

bool RowMatchesChoice(const TLineRow &row, int choice);
