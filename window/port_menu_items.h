// The port items of the port menu: one radio item per port after the menu's
// three fixed items, a separator for "-". A click reports the item's
// position in the port list.
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

  // Removes every item after the fixed ones and adds one per entry.
  void Rebuild(const QStringList &entries);
  // Checking one item unchecks the others.
  void SetChecked(int position, bool checked);

  static constexpr int kFixedItemCount = 3;

 private:
  QMenu *menu_;
  QActionGroup *group_;
  TClickHandler onClick_;
};
