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
  // The port items sit between the fixed items and the items added after
  // them (the network ports item), which stay.
  const QList<QAction *> items = menu_->actions();
  for (qsizetype i = kFixedItemCount; i < kFixedItemCount + portItemCount_ && i < items.size();
       ++i) {
    menu_->removeAction(items[i]);
    delete items[i];
  }
  QAction *before = menu_->actions().value(kFixedItemCount, nullptr);
  for (int position = 0; position < entries.size(); ++position) {
    const QString &entry = entries[position];
    auto *item = new QAction(menu_);
    if (entry == QStringLiteral("-")) {
      item->setSeparator(true);
    } else {
      item->setText(entry);
      item->setToolTip(entry);  // the item's port name, as its hint
      item->setCheckable(true);
      group_->addAction(item);
      QObject::connect(item, &QAction::triggered, menu_, [this, position] { onClick_(position); });
    }
    menu_->insertAction(before, item);
  }
  portItemCount_ = entries.size();
}

void TPortMenuItems::SetChecked(int position, bool checked) {
  const QList<QAction *> items = menu_->actions();
  const qsizetype index = position + kFixedItemCount;
  if (position < 0 || index >= items.size() || items[index]->isSeparator()) {
    return;
  }
  items[index]->setChecked(checked);
}
