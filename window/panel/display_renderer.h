// Draws the display model onto the terminal display of both sizes: display
// lines, graphic cells and LEDs, as the model tells what changed; and the
// two link indicators of the status bar.
#pragma once

#include <QColor>

#include "display_model.h"
#include "front_panel.h"

class QPainter;
class QRect;

class TDisplayRenderer : public TDisplayObserver {
 public:
  // Both live as long as the renderer (the main window owns them). Draws
  // the LEDs as the model holds them at once; the rest follows the model's
  // changes once the panel is built.
  TDisplayRenderer(TFrontPanel &panel, TDisplayModel &model);
  ~TDisplayRenderer() override;
  TDisplayRenderer(const TDisplayRenderer &) = delete;
  TDisplayRenderer &operator=(const TDisplayRenderer &) = delete;

  void DisplayChanged(const TDisplayChange &change) override;

  // Paints status bar panel 1 (converter) or 2 (programming terminal).
  void StatusBarDrawPanel(QPainter &painter, int panel, const QRect &rect) const;

  const TDisplayModel &Model() const { return model_; }

  // The colour of an unlit LED.
  static QColor ButtonFace();

 private:
  void PlaceLines(bool graphicMode);
  void WriteLine(int line, const QString &text);
  void DrawLeds();

  TFrontPanel &panel_;
  TDisplayModel &model_;
};
