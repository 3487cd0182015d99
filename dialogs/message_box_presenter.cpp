#include "message_box_presenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>

namespace {

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

}  // namespace

void TMessageBoxPresenter::Show(const TMessageDialogRequest &request, bool *checkBoxState) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setIcon(BoxIcon(request.icon));
  box.setWindowTitle(request.caption);
  box.setText(request.headline);
  box.setInformativeText(request.message);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  QCheckBox *checkBox = nullptr;
  if (request.hasCheckBox) {
    checkBox = new QCheckBox(request.checkBoxCaption, &box);
    checkBox->setChecked(checkBoxState != nullptr && *checkBoxState);
    box.setCheckBox(checkBox);
  }
  box.exec();
  if (checkBox != nullptr && checkBoxState != nullptr) {
    *checkBoxState = checkBox->isChecked();
  }
}
