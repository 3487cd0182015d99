#include "line_monitor_model.h"

#include <algorithm>

#include "text_table.h"

namespace {

constexpr int kColumnTexts[TLineMonitorModel::kColumnCount] = {
    kTextMonitorTime, kTextMonitorDirection, kTextMonitorBytes,
    kTextMonitorHex,  kTextMonitorMeaning,   kTextMonitorCheck};

}  // namespace

TLineMonitorModel::TLineMonitorModel(QObject *parent, size_t capacity)
    : QAbstractTableModel(parent), capacity_(std::max<size_t>(capacity, 1)) {}

void TLineMonitorModel::Append(std::vector<TLineRow> rows) {
  if (rows.empty()) {
    return;
  }
  if (rows.size() > capacity_) {
    rows.erase(rows.begin(), rows.end() - static_cast<ptrdiff_t>(capacity_));
  }
  // New rows go in before the oldest leave: a view kept at the bottom then
  // stays at the same scroll position, so only its rows are drawn again.
  const int first = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  std::move(rows.begin(), rows.end(), std::back_inserter(rows_));
  endInsertRows();
  if (rows_.size() > capacity_) {
    DropOldest(rows_.size() - capacity_);
  }
}

void TLineMonitorModel::DropOldest(size_t count) {
  beginRemoveRows(QModelIndex(), 0, static_cast<int>(count) - 1);
  rows_.erase(rows_.begin(), rows_.begin() + static_cast<ptrdiff_t>(count));
  firstSerial_ += count;
  endRemoveRows();
}

void TLineMonitorModel::Clear() {
  beginResetModel();
  firstSerial_ += rows_.size();
  rows_.clear();
  endResetModel();
}

void TLineMonitorModel::Retranslate() {
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
  if (!rows_.empty()) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
  }
}

int TLineMonitorModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TLineMonitorModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TLineMonitorModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) {
    return QVariant();
  }
  const TLineRow &row = Row(index.row());
  if (role == kRowSerialRole) {
    return QVariant::fromValue(firstSerial_ + static_cast<quint64>(index.row()));
  }
  if (role == Qt::TextAlignmentRole && index.column() == kColumnTime) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) {
    return QVariant();
  }
  switch (index.column()) {
    case kColumnTime:
      return QString::number(row.ms, 'f', 3);
    case kColumnDirection:
      return RowDirection(row);
    case kColumnPrintable:
      return RowPrintable(row);
    case kColumnHex:
      return RowHex(row);
    case kColumnMeaning:
      return RowMeaning(row);
    case kColumnCheck:
      return RowCheck(row);
    default:
      return QVariant();
  }
}

QVariant TLineMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < kColumnCount) {
    return GetText(kColumnTexts[section]);
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool RowMatchesChoice(const TLineRow &row, int choice) {
  switch (choice) {
    case TLineKindFilter::kDriveMessages:
      return row.kind == TLineRowKind::DriveMessage;
    case TLineKindFilter::kAnswers:
      return row.kind == TLineRowKind::Answer;
    case TLineKindFilter::kProgTerm:
      return row.kind == TLineRowKind::ProgTerm;
    case TLineKindFilter::kFailed:
      return row.kind == TLineRowKind::Failed || row.writeFailed;
    case TLineKindFilter::kPortEvents:
      return row.kind == TLineRowKind::PortEvent;
    default:
      return true;
  }
}

void TLineKindFilter::SetChoice(int choice) {
  if (choice == choice_) {
    return;
  }
  choice_ = choice;
  invalidateFilter();
}

bool TLineKindFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const {
  if (choice_ == kAll) {
    return true;
  }
  const auto *model = static_cast<const TLineMonitorModel *>(sourceModel());
  return RowMatchesChoice(model->Row(sourceRow), choice_);
}
