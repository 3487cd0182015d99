#include "message_box_presenter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace {

// Runs 'handle' on the message box once it is up, from inside its own event
// loop, and then closes it with OK. Gives up (closing every window) after a
// bounded number of event-loop turns, so a missing box fails instead of
// blocking the test.
void WhenBoxOpens(std::function<void(QMessageBox &)> handle, int turnsLeft = 1000) {
  QTimer::singleShot(0, [handle = std::move(handle), turnsLeft]() mutable {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (turnsLeft > 0) {
        WhenBoxOpens(std::move(handle), turnsLeft - 1);
      } else {
        ADD_FAILURE() << "message box did not open";
        QApplication::closeAllWindows();
      }
      return;
    }
    handle(*box);
    box->button(QMessageBox::Ok)->click();
  });
}

TEST(MessageBoxPresenter, ShowsTheRequestAndClosesWithOk) {
  TMessageDialogRequest request;
  request.icon = 3;
  request.caption = "Hiba!";
  request.headline = "sorvanel.ini";
  request.message = "A fájl nem írható!";
  request.buttons = 16;
  bool seen = false;
  WhenBoxOpens([&](QMessageBox &box) {
    seen = true;
    EXPECT_EQ(box.windowTitle(), "Hiba!");
    EXPECT_EQ(box.text(), "sorvanel.ini");
    EXPECT_EQ(box.informativeText(), "A fájl nem írható!");
    EXPECT_EQ(box.icon(), QMessageBox::Critical);
    EXPECT_EQ(box.checkBox(), nullptr);
    EXPECT_NE(box.button(QMessageBox::Ok), nullptr);
  });
  TMessageBoxPresenter().Show(request, nullptr);
  EXPECT_TRUE(seen);
}

TEST(MessageBoxPresenter, CheckBoxStartsAsGivenAndWritesTheChoiceBack) {
  TMessageDialogRequest request;
  request.icon = 0;
  request.headline = "Programming terminal connected";
  request.hasCheckBox = true;
  request.checkBoxCaption = "Show alert next time";
  bool state = true;
  WhenBoxOpens([](QMessageBox &box) {
    ASSERT_NE(box.checkBox(), nullptr);
    EXPECT_EQ(box.icon(), QMessageBox::Information);
    EXPECT_EQ(box.checkBox()->text(), "Show alert next time");
    EXPECT_TRUE(box.checkBox()->isChecked());
    box.checkBox()->setChecked(false);
  });
  TMessageBoxPresenter().Show(request, &state);
  EXPECT_FALSE(state);
}

TEST(MessageBoxPresenter, TextsAreShownAsPlainTextNeverAsMarkup) {
  TMessageDialogRequest request;
  request.caption = "Hiba!";
  request.headline = "<b>set</b>.mem";
  request.message = "<i>A fájl</i> nem írható!";
  WhenBoxOpens([](QMessageBox &box) {
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    for (QLabel *label : box.findChildren<QLabel *>()) {
      if (label->text() == "<b>set</b>.mem" || label->text() == "<i>A fájl</i> nem írható!") {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
      }
    }
  });
  TMessageBoxPresenter().Show(request, nullptr);
}

TEST(MessageBoxPresenter, BoxIsCentredOverTheMainWindowAndWideEnoughForItsCaption) {
  QMainWindow mainWindow;
  mainWindow.setGeometry(40, 30, 320, 536);
  mainWindow.show();
  QWidget other;  // another window of the program is the active one
  other.setGeometry(600, 400, 100, 100);
  other.show();
  other.activateWindow();
  TMessageDialogRequest request;
  request.caption = "Programozó terminál csatlakoztatva a frekvenciaváltóhoz";
  request.headline = "x";
  WhenBoxOpens([&](QMessageBox &box) {
    const QPoint offset = box.frameGeometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 4);
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    EXPECT_GT(box.width(), QFontMetrics(titleFont).horizontalAdvance(request.caption));
  });
  TMessageBoxPresenter().Show(request, nullptr);
}

TEST(MessageBoxPresenter, APopupLeftByTheBoxIsClosedWithIt) {
  TMessageDialogRequest request;
  request.caption = "Hiba!";
  WhenBoxOpens([](QMessageBox &box) {
    auto *popup = new QMenu(&box);
    popup->addAction("leftover");
    popup->popup(box.geometry().center());
  });
  TMessageBoxPresenter().Show(request, nullptr);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

}  // namespace

int main(int argc, char **argv) {
  // Also for test discovery at build time, which runs without the test
  // environment: never needs a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
