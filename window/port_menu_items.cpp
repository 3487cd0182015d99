#include "port_menu_items.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <utility>

TPortMenuItems::TPortMenuItems(QMenu *menu, TClickHandler onClick)
    : menu_(menu), group_(new QActionGroup(menu)), onClick_(std::move(onClick)) {
  group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
}

void TPortMenuItems::Rebuild(const QStringList &entries) {
  const QList<QAction *> items = menu_->actions();
  for (qsizetype i = kFixedItemCount; i < items.size(); ++i) {
    menu_->removeAction(items[i]);
    delete items[i];
  }
  for (int position = 0; position < entries.size(); ++position) {
    const QString &entry = entries[position];
    if (entry == QStringLiteral("-")) {
      menu_->addSeparator();
      continue;
    }
    QAction *item = menu_->addAction(entry);
    item->setToolTip(entry);  // the item's port name, as its hint
    item->setCheckable(true);
    group_->addAction(item);
    QObject::connect(item, &QAction::triggered, menu_, [this, position] { onClick_(position); });
  }
}

void TPortMenuItems::SetChecked(int position, bool checked) {
  const QList<QAction *> items = menu_->actions();
  const qsizetype index = position + kFixedItemCount;
  if (position < 0 || index >= items.size() || items[index]->isSeparator()) {
    return;
  }
  items[index]->setChecked(checked);
}
