// The status bar along the bottom of the main window: a row of fixed-width
// panels with a sunken frame each. A panel shows its text with its own
// alignment, or is owner-drawn: then the draw handler paints it.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

class TStatusBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 18;

  struct TPanel {
    int width = 50;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool ownerDrawn = false;
    QString text;
  };

  // Paints an owner-drawn panel: painter, panel index, the panel's inside.
  using TDrawPanelHandler = std::function<void(QPainter &, int, const QRect &)>;

  explicit TStatusBar(QWidget *parent = nullptr);

  void SetPanels(std::vector<TPanel> panels);
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  const TPanel &Panel(int index) const { return panels_.at(index); }
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString &text);
  // The inside of a panel (within its frame), in status bar coordinates.
  QRect PanelRect(int index) const;
  // The panel under 'position' (status bar coordinates), -1 for none.
  int PanelAt(const QPoint &position) const;
  // The panel's whole text when it is wider than the panel shows, so the
  // user can read it in a tooltip; empty when it fits.
  QString PanelToolTip(int index) const;

  void SetDrawPanelHandler(TDrawPanelHandler handler) { drawPanel_ = std::move(handler); }

 protected:
  bool event(QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

 private:
  std::vector<TPanel> panels_;
  TDrawPanelHandler drawPanel_;
};
