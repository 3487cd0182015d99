#include "about_box.h"

#include "dialog_window.h"
#include "ui_about_box.h"

TForm_AboutBox::TForm_AboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      ui_(std::make_unique<Ui::TForm_AboutBox>()) {
  ui_->setupUi(this);
  setFixedSize(400, 155);
  QFont boxFont(QStringLiteral("Liberation Sans"));
  // The label widths are fixed; at 10 pixels every text fits its label.
  boxFont.setPixelSize(10);
  setFont(boxFont);
  QFont bold = boxFont;
  bold.setBold(true);
  ui_->ProductName->setFont(bold);
  ui_->ProgramIcon->SetStretch(true);
  ui_->ProgramIcon->SetPicture(QPixmap(QStringLiteral(":/pictures/about_terminal.png")));
}

TForm_AboutBox::~TForm_AboutBox() = default;

void TForm_AboutBox::ShowModal() {
  RunDialog(*this);
}

void TForm_AboutBox::showEvent(QShowEvent *event) {
  CentreOnParent();
  QDialog::showEvent(event);
}

void TForm_AboutBox::CentreOnParent() {
  const QWidget *owner = parentWidget();
  if (owner == nullptr) {
    return;
  }
  const QRect ownerFrame = owner->window()->frameGeometry();
  const QSize own = frameGeometry().size();
  move(ownerFrame.center() - QPoint(own.width() / 2, own.height() / 2));
}
