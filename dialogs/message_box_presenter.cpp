#include "message_box_presenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpacerItem>
#include <algorithm>

#include "dialog_window.h"

namespace {

// Room the window manager takes from the title bar beside the caption: the
// window icon and the close button.
constexpr int kTitleBarDecoration = 120;
// Below this QMessageBox wraps even a short message onto two lines.
constexpr int kMinimumBoxWidth = 280;

QMessageBox::Icon BoxIcon(TMessageDialogIcon icon) {
  switch (icon) {
    case 0:
      return QMessageBox::Information;
    case 1:
      return QMessageBox::Warning;
    case 2:
      return QMessageBox::Question;
    case 3:
      return QMessageBox::Critical;
    default:
      return QMessageBox::NoIcon;
  }
}

// The texts may hold a file name the user chose: never read as markup.
void ShowTextsPlain(QMessageBox &box) {
  box.setTextFormat(Qt::PlainText);
  if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
    informative->setTextFormat(Qt::PlainText);
  }
}

// QMessageBox sizes itself to its texts; a spacer across its grid keeps it
// at least as wide as the title bar needs for the whole caption.
void WidenForCaption(QMessageBox &box) {
  auto *grid = qobject_cast<QGridLayout *>(box.layout());
  if (grid == nullptr) {
    return;
  }
  QFont titleFont = QApplication::font();
  titleFont.setBold(true);
  const int width =
      std::max(kMinimumBoxWidth,
               QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarDecoration);
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

// A message box that centres itself over its owner once it has its final
// size: QMessageBox sizes itself only as it is shown, after Qt has placed it.
class TCentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent *event) override {
    QMessageBox::showEvent(event);
    if (parentWidget() != nullptr) {
      QRect frame = frameGeometry();
      frame.moveCenter(parentWidget()->window()->frameGeometry().center());
      move(frame.topLeft());
    }
  }
};

}  // namespace

void TMessageBoxPresenter::Show(const TMessageDialogRequest &request, bool *checkBoxState) {
  TCentredMessageBox box(DialogOwner());
  box.setWindowModality(Qt::ApplicationModal);
  box.setIcon(BoxIcon(request.icon));
  box.setWindowTitle(request.caption);
  box.setText(request.headline);
  box.setInformativeText(request.message);
  ShowTextsPlain(box);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  QCheckBox *checkBox = nullptr;
  if (request.hasCheckBox) {
    checkBox = new QCheckBox(request.checkBoxCaption, &box);
    checkBox->setChecked(checkBoxState != nullptr && *checkBoxState);
    box.setCheckBox(checkBox);
  }
  WidenForCaption(box);
  box.winId();
  ShowExactTitle(box);
  RunDialog(box);
  if (checkBox != nullptr && checkBoxState != nullptr) {
    *checkBoxState = checkBox->isChecked();
  }
}
