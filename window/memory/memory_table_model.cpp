#include "memory_table_model.h"

#include <QString>
#include <cstring>

#include "memory_diff.h"

namespace {

constexpr uint32_t kRowLength = TRecentWrites::kRowLength;

char Printable(uint8_t value) {
  return value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
}

}  // namespace

TMemoryTableModel::TMemoryTableModel(const TTerminalMemory &memory, const TRecentWrites &recent,
                                     QObject *parent)
    : QAbstractTableModel(parent), memory_(memory), recent_(recent), shown_(memory) {}

int TMemoryTableModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : TRecentWrites::kRowCount;
}

int TMemoryTableModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : kByteColumns + 1;
}

QVariant TMemoryTableModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid()) {
    return {};
  }
  const uint32_t rowAddress = static_cast<uint32_t>(index.row()) * kRowLength;
  if (index.column() == kAsciiColumn) {
    if (role != Qt::DisplayRole) {
      return {};
    }
    QString text(kRowLength, QLatin1Char(' '));
    for (uint32_t i = 0; i < kRowLength; ++i) {
      text[i] = QLatin1Char(Printable(shown_.Read(rowAddress + i)));
    }
    return text;
  }
  const uint32_t address = rowAddress + static_cast<uint32_t>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return FormatMemoryBytes(shown_, address, 1);
    case Qt::BackgroundRole:
      return recent_.IsRecent(address) ? QVariant(HighlightColor()) : QVariant();
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignCenter);
    default:
      return {};
  }
}

QVariant TMemoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (orientation == Qt::Vertical) {
    return FormatMemoryAddress(static_cast<uint32_t>(section) * kRowLength);
  }
  return section == kAsciiColumn
             ? QStringLiteral("ASCII")
             : QStringLiteral("%1").arg(section, 2, 16, QLatin1Char('0')).toUpper();
}

void TMemoryTableModel::Refresh(const std::vector<int> &highlightRows) {
  std::vector<bool> changed(TRecentWrites::kRowCount, false);
  for (int row : highlightRows) {
    changed[row] = true;
  }
  for (int row = 0; row < TRecentWrites::kRowCount; ++row) {
    const uint32_t offset = static_cast<uint32_t>(row) * kRowLength;
    if (std::memcmp(memory_.Bytes() + offset, shown_.Bytes() + offset, kRowLength) != 0) {
      changed[row] = true;
    }
  }
  shown_ = memory_;
  // One announcement per span of changed rows.
  for (int row = 0; row < TRecentWrites::kRowCount;) {
    if (!changed[row]) {
      ++row;
      continue;
    }
    const int first = row;
    while (row < TRecentWrites::kRowCount && changed[row]) {
      ++row;
    }
    emit dataChanged(index(first, 0), index(row - 1, kAsciiColumn));
  }
}

QModelIndex TMemoryTableModel::IndexOf(uint32_t address) const {
  return index(static_cast<int>(address / kRowLength), static_cast<int>(address % kRowLength));
}
