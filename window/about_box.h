// The about box: program name, version, publisher and purpose, always in
// Hungarian. Shown modally, centred on its parent; Enter closes it.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TForm_AboutBox;
}

class TForm_AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_AboutBox(QWidget *parent = nullptr);
  ~TForm_AboutBox() override;

  // Centres the box on its parent and runs it modally.
  void ShowModal();

 protected:
  void showEvent(QShowEvent *event) override;

 private:
  void CentreOnParent();

  std::unique_ptr<Ui::TForm_AboutBox> ui_;
};
