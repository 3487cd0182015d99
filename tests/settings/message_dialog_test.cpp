#include "message_dialog.h"

#include <gtest/gtest.h>

#include "file_error_dialogs.h"
#include "prog_term_alerts.h"
#include "recording_dialogs.h"
#include "text_table.h"

namespace {

TEST(MessageDialogSeam, PlainRequestReachesThePresenter) {
  TRecordingDialogs dialogs;
  Luvamsg_ShowDialog(3, "Hiba!", "USB port hiba!", "", 16);
  ASSERT_EQ(dialogs.records.size(), 1u);
  const TMessageDialogRequest &request = dialogs.last();
  EXPECT_EQ(request.icon, 3);
  EXPECT_EQ(request.caption, "Hiba!");
  EXPECT_EQ(request.headline, "USB port hiba!");
  EXPECT_EQ(request.message, "");
  EXPECT_EQ(request.buttons, 16);
  EXPECT_FALSE(request.hasCheckBox);
}

TEST(MessageDialogSeam, CheckBoxStateIsShownAndWrittenBack) {
  TRecordingDialogs dialogs;
  dialogs.checkBoxAnswer = false;
  bool alertNextTime = true;
  Luvamsg_ShowDialog(0, "", "connected", "details", 16, "Show alert next time", alertNextTime);
  EXPECT_FALSE(alertNextTime);
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_TRUE(dialogs.records[0].checkBoxStateShown);
  EXPECT_TRUE(dialogs.last().hasCheckBox);
  EXPECT_EQ(dialogs.last().checkBoxCaption, "Show alert next time");
}

TEST(MessageDialogSeam, UntouchedCheckBoxKeepsItsState) {
  TRecordingDialogs dialogs;
  bool state = false;
  Luvamsg_ShowDialog(0, "", "h", "m", 16, "c", state);
  EXPECT_FALSE(state);
  EXPECT_FALSE(dialogs.records[0].checkBoxStateShown);
}

TEST(MessageDialogSeam, WithoutPresenterCallsReturnAndChangeNothing) {
  TMessageDialogPresenter *previous = SetMessageDialogPresenter(nullptr);
  bool state = true;
  Luvamsg_ShowDialog(3, "a", "b", "c", 16);
  Luvamsg_ShowDialog(0, "a", "b", "c", 16, "d", state);
  EXPECT_TRUE(state);
  SetMessageDialogPresenter(previous);
}

TEST(MessageDialogSeam, RecorderPutsThePreviousPresenterBack) {
  TRecordingDialogs outer;
  {
    TRecordingDialogs inner;
    Luvamsg_ShowDialog(0, "", "inner", "", 16);
    EXPECT_EQ(inner.records.size(), 1u);
  }
  Luvamsg_ShowDialog(0, "", "outer", "", 16);
  ASSERT_EQ(outer.records.size(), 1u);
  EXPECT_EQ(outer.last().headline, "outer");
}

TEST(FileErrorDialogs, NameTheFileWithoutItsFolderInHungarian) {
  TRecordingDialogs dialogs;
  ShowFileWriteError("/opt/sorvanel/sorvanel.ini");
  ShowCorruptFileError("/home/u/parameter sets/motor 1.mem");
  ASSERT_EQ(dialogs.records.size(), 2u);
  const TMessageDialogRequest &write = dialogs.records[0].request;
  EXPECT_EQ(write.icon, kMessageDialogIconError);
  EXPECT_EQ(write.caption, "Hiba!");
  EXPECT_EQ(write.headline, "sorvanel.ini");
  EXPECT_EQ(write.message, QString::fromUtf8("A fájl nem írható! (Lehet, hogy írásvédett)"));
  EXPECT_EQ(write.buttons, kMessageDialogButtonOk);
  const TMessageDialogRequest &corrupt = dialogs.records[1].request;
  EXPECT_EQ(corrupt.headline, "motor 1.mem");
  EXPECT_EQ(corrupt.message, QString::fromUtf8("Hibás memória fájl!"));
  EXPECT_EQ(corrupt.icon, 3);
  EXPECT_EQ(corrupt.buttons, 16);
}

TEST(ProgTermAlertDialogs, ShowTheirTextsWithTheCheckBoxAndReturnTheUsersChoice) {
  TRecordingDialogs dialogs;
  dialogs.checkBoxAnswer = false;
  EXPECT_FALSE(ShowProgTermConnectedAlert(true));
  dialogs.checkBoxAnswer.reset();
  EXPECT_TRUE(ShowProgTermDisconnectedAlert(true));
  ASSERT_EQ(dialogs.records.size(), 2u);
  const TMessageDialogRequest &connected = dialogs.records[0].request;
  EXPECT_EQ(connected.icon, 0);
  EXPECT_TRUE(connected.caption.isEmpty());
  EXPECT_EQ(connected.headline, GetText(kTextProgTermConnected));
  EXPECT_EQ(connected.message, GetText(kTextProgTermConnectedMessage));
  EXPECT_EQ(connected.buttons, 0x10);
  EXPECT_TRUE(connected.hasCheckBox);
  EXPECT_EQ(connected.checkBoxCaption, GetText(kTextShowAlertNextTime));
  EXPECT_TRUE(dialogs.records[0].checkBoxStateShown);
  EXPECT_EQ(dialogs.records[1].request.headline, GetText(kTextProgTermDisconnected));
  EXPECT_EQ(dialogs.records[1].request.message, GetText(kTextProgTermDisconnectedMessage));
}

}  // namespace
