// The port items of the port menu: one radio item per port after the menu's
// three fixed items, a separator for "-". A click reports the item's
// position in the port list. Items added to the menu after the port items
// keep their place below them.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QActionGroup;
class QMenu;

class TPortMenuItems {
 public:
  using TClickHandler = std::function<void(int position)>;

  TPortMenuItems(QMenu *menu, TClickHandler onClick);

  // Replaces the port items with one per entry.
  void Rebuild(const QStringList &entries);
  // Checking one item unchecks the others.
  void SetChecked(int position, bool checked);

  static constexpr int kFixedItemCount = 3;

 private:
  QMenu *menu_;
  QActionGroup *group_;
  TClickHandler onClick_;
  qsizetype portItemCount_ = 0;
};
