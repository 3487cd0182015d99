#include "line_monitor_view.h"

#include <QFontDatabase>
#include <QHeaderView>

#include "cached_text_delegate.h"
#include "line_monitor_model.h"

namespace {

constexpr int kColumnWidths[TLineMonitorModel::kColumnCount] = {80, 36, 150, 200, 300, 100};

}  // namespace

TLineMonitorView::TLineMonitorView(QWidget *parent)
    : QTableView(parent),
      delegate_(new TCachedTextDelegate(TLineMonitorModel::kRowSerialRole, this)) {
  setItemDelegate(delegate_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setWordWrap(false);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  verticalHeader()->hide();
  // Uniform rows: the view never measures a row's contents.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setStretchLastSection(true);
}

void TLineMonitorView::setModel(QAbstractItemModel *model) {
  if (this->model() != nullptr) {
    disconnect(this->model(), nullptr, delegate_, nullptr);
  }
  QTableView::setModel(model);
  if (model == nullptr) {
    return;
  }
  for (int column = 0; column < TLineMonitorModel::kColumnCount; ++column) {
    setColumnWidth(column, kColumnWidths[column]);
  }
  connect(model, &QAbstractItemModel::dataChanged, delegate_, &TCachedTextDelegate::Forget);
  connect(model, &QAbstractItemModel::modelReset, delegate_, &TCachedTextDelegate::Forget);
}

void TLineMonitorView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) {
  const QModelIndex current = currentIndex();
  if (current.isValid() && current.row() >= start && current.row() <= end) {
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  QTableView::rowsAboutToBeRemoved(parent, start, end);
}
