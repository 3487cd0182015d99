#include "designed_panel.h"

#include <QPixmap>

#include "display_colors.h"
#include "display_font.h"
#include "image_widget.h"
#include "text_table.h"
#include "ui_main_window.h"

namespace {

constexpr int kStatusBarFontSize = 8;

QPixmap Picture(const char *name) {
  return QPixmap(QStringLiteral(":/pictures/") + QString::fromLatin1(name));
}

}  // namespace

void TakeDesignedControls(Ui::TForm_Sorvanel &ui, TFrontPanel &panel) {
  for (QFrame *group : {ui.Group_TerminalSizeBig, ui.Group_TerminalSizeSmall}) {
    QPalette palette = group->palette();
    palette.setColor(QPalette::Window, kPanelGray);
    group->setPalette(palette);
  }
  ui.Image_BackgroundBig->SetPicture(Picture("face_big.png"));
  ui.Image_BackgroundSmall->SetPicture(Picture("face_small.png"));
  ui.Image_ResizeBig->SetPicture(Picture("resize_down.png"));
  ui.Image_ResizeSmall->SetPicture(Picture("resize_up.png"));

  panel.Group_TerminalSize = {ui.Group_TerminalSizeBig, ui.Group_TerminalSizeSmall};
  panel.Shape_ErrorLed = {ui.Shape_ErrorLedBig, ui.Shape_ErrorLedSmall};
  panel.Shape_RunLed = {ui.Shape_RunLedBig, ui.Shape_RunLedSmall};
  panel.StatusBar = ui.StatusBar;
  panel.Images_ButtonBig = TImageList(Picture("keys_big.png"), 60, 60, kKeyImageCount);
  panel.Images_ButtonSmall = TImageList(Picture("keys_small.png"), 40, 40, kKeyImageCount);
}

void SetUpStatusBarPanels(TStatusBar &statusBar, TStatusBar::TDrawPanelHandler drawPanel) {
  statusBar.SetPanels({
      {50, Qt::AlignHCenter, false, QStringLiteral("-")},
      {95, Qt::AlignHCenter, true, GetHungarianText(kTextConverterPanel)},
      {75, Qt::AlignHCenter, true, GetHungarianText(kTextProgTermPanel)},
      {50, Qt::AlignLeft, false, QString()},
  });
  statusBar.SetDrawPanelHandler(std::move(drawPanel));
}

void AdjustStatusBarFont(TStatusBar &statusBar) {
  QFont font = statusBar.font();
  font.setPointSize(StatusBarFontPointSize(kStatusBarFontSize, statusBar.logicalDpiY()));
  statusBar.setFont(font);
}
