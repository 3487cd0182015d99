// Draws a cell's text from text laid out when the cell was first drawn, so
// repainting rows already shown (a scroll, a batch of new rows) costs no text
// layout. A row is known by the serial its model gives under 'serialRole';
// the cells last drawn are kept, up to kKeptCells. The text of a row must not
// change while it keeps its serial, except all at once: Forget() drops
// everything kept (the view calls it when the model's data changes).
//
// The cell is drawn as the style draws an item with only text: background and
// selection by the style, the text elided at the right to the cell's width,
// in the palette's text or highlighted-text colour.
#pragma once

#include <QCache>
#include <QStaticText>
#include <QStyledItemDelegate>

class TCachedTextDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int kKeptCells = 1024;

  TCachedTextDelegate(int serialRole, QObject *parent);

  void paint(QPainter *painter, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override;
  void Forget();

 private:
  struct TKey {
    quint64 serial;
    int column;
    int width;
    friend bool operator==(const TKey &, const TKey &) = default;
    friend size_t qHash(const TKey &key, size_t seed = 0) {
      return qHashMulti(seed, key.serial, key.column, key.width);
    }
  };
  struct TCell {
    QStaticText text;
    Qt::Alignment alignment;
  };

  const TCell &Cell(const QModelIndex &index, const QStyleOptionViewItem &option, int width) const;

  int serialRole_;
  mutable QCache<TKey, TCell> cells_{kKeptCells};
};
