#include "cached_text_delegate.h"

#include <QApplication>
#include <QFontInfo>
#include <QPainter>

namespace {

// The text as the style elides it. Text far beyond the cell is cut first: in a
// fixed-pitch font no character is narrower than a digit, so what lies past
// the cell's width in digits cannot show, and laying it out would only cost
// time (a frame's hex is several times wider than its column).
QString Elided(QString text, const QStyleOptionViewItem &option, int width) {
  if (QFontInfo(option.font).fixedPitch()) {
    const qsizetype visible =
        width / std::max(1, option.fontMetrics.horizontalAdvance(QLatin1Char('0'))) + 2;
    if (text.size() > visible) {
      text.truncate(visible);
    }
  }
  return option.fontMetrics.elidedText(text, Qt::ElideRight, width);
}

}  // namespace

TCachedTextDelegate::TCachedTextDelegate(int serialRole, QObject *parent)
    : QStyledItemDelegate(parent), serialRole_(serialRole) {}

void TCachedTextDelegate::Forget() {
  cells_.clear();
}

const TCachedTextDelegate::TCell &TCachedTextDelegate::Cell(const QModelIndex &index,
                                                            const QStyleOptionViewItem &option,
                                                            int width) const {
  const TKey key{index.data(serialRole_).toULongLong(), index.column(), width};
  if (const TCell *kept = cells_.object(key)) {
    return *kept;
  }
  const QString text = Elided(index.data(Qt::DisplayRole).toString(), option, width);
  const QVariant alignment = index.data(Qt::TextAlignmentRole);
  auto *cell = new TCell{QStaticText(text), alignment.isValid()
                                                ? alignment.value<Qt::Alignment>()
                                                : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)};
  cell->text.setTextFormat(Qt::PlainText);
  cell->text.setPerformanceHint(QStaticText::AggressiveCaching);
  cell->text.prepare(QTransform(), option.font);
  cells_.insert(key, cell);  // the cache owns it from here
  return *cell;
}

void TCachedTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const {
  const QWidget *widget = option.widget;
  const QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);

  // The same margin the style leaves beside an item's text.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect area = option.rect.adjusted(margin, 0, -margin, 0);
  if (area.width() <= 0) {
    return;
  }
  const TCell &cell = Cell(index, option, area.width());
  const QSizeF size = cell.text.size();
  const qreal x =
      cell.alignment.testFlag(Qt::AlignRight) ? area.right() + 1 - size.width() : area.left();
  const qreal y = area.top() + (area.height() - size.height()) / 2;

  const QPalette::ColorGroup group =
      !option.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
      : option.state.testFlag(QStyle::State_Active) ? QPalette::Normal
                                                    : QPalette::Inactive;
  const QPalette::ColorRole role =
      option.state.testFlag(QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
  painter->save();
  painter->setFont(option.font);
  painter->setPen(option.palette.color(group, role));
  painter->setClipRect(area, Qt::IntersectClip);
  painter->drawStaticText(QPointF(x, y), cell.text);
  painter->restore();

  if (option.state.testFlag(QStyle::State_HasFocus)) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
    focus.backgroundColor = option.palette.color(
        group, role == QPalette::HighlightedText ? QPalette::Highlight : QPalette::Window);
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  }
}
