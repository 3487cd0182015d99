// The line monitor's list: a table of uniform rows in the fixed-width font
// that draws each row's texts from what it laid out when the row was first
// shown, so the list repainted on every batch of rows lays out only the new
// ones.
#pragma once

#include <QTableView>

class TCachedTextDelegate;

class TLineMonitorView : public QTableView {
  Q_OBJECT

 public:
  explicit TLineMonitorView(QWidget *parent = nullptr);

  // Also follows the model's data changes (a language switch).
  void setModel(QAbstractItemModel *model) override;

 protected:
  // A current row that leaves the list (the oldest rows make room) is not
  // passed on to the row after it, which would scroll the view to the top.
  void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

 private:
  TCachedTextDelegate *delegate_ = nullptr;
};
