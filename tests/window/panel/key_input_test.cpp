// Terminal keys by mouse and keyboard: the key state that reaches the
// protocol library and the pictures of both sizes.
#include <QAction>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QKeyEvent>

#include <QTest>

#include "key_mapping.h"
#include "key_repeat_filter.h"
#include "window_fixture.h"

namespace {

class KeyInputTest : public WindowTest {
 protected:
  TImage *KeyImage(int size, int key) { return Window().FrontPanel().KeyImage(size, key); }

  bool ShowsPressed(int key) {
    const TFrontPanel &panel = Window().FrontPanel();
    return KeyImage(0, key)->Picture().toImage() ==
               panel.Images_ButtonBig.Image(key + 11).toImage() &&
           KeyImage(1, key)->Picture().toImage() ==
               panel.Images_ButtonSmall.Image(key + 11).toImage();
  }
  bool ShowsReleased(int key) {
    const TFrontPanel &panel = Window().FrontPanel();
    return KeyImage(0, key)->Picture().toImage() == panel.Images_ButtonBig.Image(key).toImage() &&
           KeyImage(1, key)->Picture().toImage() == panel.Images_ButtonSmall.Image(key).toImage();
  }

  void Key(QEvent::Type type, int qtKey, bool autoRepeat = false,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, qtKey, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(&Window(), &event);
    if (type == QEvent::KeyRelease && !autoRepeat) {
      AwaitRelease(qtKey);
    }
  }
  // A key-up reaches the terminal once no repeat has followed it.
  void AwaitRelease(int qtKey) {
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !Window().KeyRepeat().IsReleasePending(QtKeyToVirtualKey(qtKey)); }, 2000));
  }
};

using KeyBytes = std::pair<uint8_t, uint8_t>;

TEST_F(KeyInputTest, MousePressAndReleaseReachTheRequest) {
  // Start (key 9) is bit 0x01 of key byte 0.
  SendMouse(KeyImage(0, 9), QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_TRUE(ShowsPressed(9));
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x01, 0x00));
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x01, 0x00)) << "held until released";
  SendMouse(KeyImage(0, 9), QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_TRUE(ShowsReleased(9));
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x01, 0x00)) << "released after one more frame";
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x00));
}

TEST_F(KeyInputTest, SmallImagesAndAnyMouseButtonPressKeys) {
  // Up (key 0) is 0x04 of key byte 1.
  SendMouse(KeyImage(1, 0), QEvent::MouseButtonPress, Qt::RightButton);
  EXPECT_TRUE(ShowsPressed(0));
  EXPECT_EQ(Window().KeyInput().CurrentButtonIndex(), 0);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x04));
  SendMouse(KeyImage(1, 0), QEvent::MouseButtonRelease, Qt::RightButton);
  EXPECT_TRUE(ShowsReleased(0));
  CompiledKeyBytes();
  SendMouse(KeyImage(1, 10), QEvent::MouseButtonPress, Qt::MiddleButton);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x02, 0x00));
}

TEST_F(KeyInputTest, DoubleClickGivesTwoPresses) {
  TImage *stop = KeyImage(0, 10);
  SendMouse(stop, QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(stop, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x02, 0x00));
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x00));
  SendMouse(stop, QEvent::MouseButtonDblClick, Qt::LeftButton);
  EXPECT_TRUE(ShowsPressed(10));
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x02, 0x00));
}

TEST_F(KeyInputTest, PressedPictureSurvivesASizeSwitch) {
  Key(QEvent::KeyPress, Qt::Key_K);
  Window().Menu_TerminalSizeSmallClick();
  EXPECT_TRUE(ShowsPressed(7));
  Window().Menu_TerminalSizeBigClick();
  EXPECT_TRUE(ShowsPressed(7));
  Key(QEvent::KeyRelease, Qt::Key_K);
  EXPECT_TRUE(ShowsReleased(7));
}

TEST_F(KeyInputTest, PcKeysWorkTheirTerminalKeys) {
  struct {
    int qtKey;
    int terminalKey;
    KeyBytes bytes;
  } const keys[] = {
      {Qt::Key_Up, 0, {0x00, 0x04}},     {Qt::Key_Left, 1, {0x10, 0x00}},
      {Qt::Key_D, 2, {0x00, 0x20}},      {Qt::Key_Right, 3, {0x00, 0x02}},
      {Qt::Key_Down, 4, {0x00, 0x01}},   {Qt::Key_Escape, 5, {0x04, 0x00}},
      {Qt::Key_Return, 6, {0x08, 0x00}}, {Qt::Key_Enter, 6, {0x08, 0x00}},
      {Qt::Key_K, 7, {0x00, 0x08}},      {Qt::Key_I, 8, {0x00, 0x10}},
      {Qt::Key_A, 9, {0x01, 0x00}},      {Qt::Key_S, 10, {0x02, 0x00}},
  };
  for (const auto &k : keys) {
    Key(QEvent::KeyPress, k.qtKey);
    EXPECT_TRUE(ShowsPressed(k.terminalKey)) << k.qtKey;
    EXPECT_EQ(CompiledKeyBytes(), k.bytes) << k.qtKey;
    Key(QEvent::KeyRelease, k.qtKey);
    EXPECT_TRUE(ShowsReleased(k.terminalKey)) << k.qtKey;
    CompiledKeyBytes();
    EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0)) << k.qtKey;
  }
}

TEST_F(KeyInputTest, ModifiersAreNotLookedAtAndOtherKeysDoNothing) {
  Key(QEvent::KeyPress, Qt::Key_S, false, Qt::ShiftModifier);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x02, 0x00));
  Key(QEvent::KeyRelease, Qt::Key_S, false, Qt::ShiftModifier);
  CompiledKeyBytes();
  for (int other : {Qt::Key_F1, Qt::Key_F4, Qt::Key_Space, Qt::Key_B, Qt::Key_Tab, Qt::Key_Alt}) {
    Key(QEvent::KeyPress, other);
    EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0)) << other;
  }
  EXPECT_EQ(Window().KeyInput().CurrentButtonIndex(), KELVO_NO_KEY);
}

TEST_F(KeyInputTest, TwoKeysHeldTogetherGoUpSeparately) {
  Key(QEvent::KeyPress, Qt::Key_Up);
  Key(QEvent::KeyPress, Qt::Key_Return);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x08, 0x04));
  Key(QEvent::KeyRelease, Qt::Key_Up);
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x08, 0x00));
  EXPECT_TRUE(ShowsPressed(6));
  EXPECT_TRUE(ShowsReleased(0));
}

TEST_F(KeyInputTest, AutoRepeatRepeatsThePressAndIgnoresRepeatReleases) {
  Key(QEvent::KeyPress, Qt::Key_K);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x08));
  const int writes = KeyImage(0, 7)->PictureWrites();
  // What X11 delivers while a key is held: release and press, both repeats.
  for (int i = 0; i < 3; ++i) {
    Key(QEvent::KeyRelease, Qt::Key_K, true);
    Key(QEvent::KeyPress, Qt::Key_K, true);
    EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x08)) << "JOG stays held";
  }
  EXPECT_EQ(KeyImage(0, 7)->PictureWrites(), writes + 3) << "each repeat reloads the picture";
  EXPECT_TRUE(ShowsPressed(7));
  Key(QEvent::KeyRelease, Qt::Key_K);
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0));
}

TEST_F(KeyInputTest, ARepeatReleaseQtDidNotRecogniseIsNoRelease) {
  // On a busy machine X11's release and press of a repeat come in separate
  // reads: Qt delivers a plain release, and the press some time later.
  Key(QEvent::KeyPress, Qt::Key_Up);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x04));
  const int holdBack = TKeyRepeatFilter::HoldBackMs();
  for (int i = 0; i < 3; ++i) {
    QElapsedTimer sinceRelease;
    sinceRelease.start();
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &release);
    QTest::qWait(holdBack / 3);
    const KeyBytes first = CompiledKeyBytes();
    const KeyBytes second = CompiledKeyBytes();
    // A machine that stalled past the hold-back rightly let the release through: only bytes
    // compiled within it tell anything.
    if (sinceRelease.elapsed() < holdBack - 2) {
      EXPECT_EQ(first, KeyBytes(0x00, 0x04)) << "the drive sees no release";
      EXPECT_EQ(second, KeyBytes(0x00, 0x04));
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &press);
    EXPECT_TRUE(ShowsPressed(0));
  }
  // Held much longer than the repeat interval: still held.
  QTest::qWait(3 * holdBack);
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0x00, 0x04));
  EXPECT_TRUE(Window().KeyInput().IsHeld(0));
  // The real key-up: alone for the interval, it reaches the drive.
  Key(QEvent::KeyRelease, Qt::Key_Up);
  EXPECT_TRUE(ShowsReleased(0));
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0));
}

TEST_F(KeyInputTest, KeyUpWithoutKeyDownStillReleases) {
  Kelvo_SetButtonStatus(bePressed, 0x0001);  // went down while elsewhere
  Key(QEvent::KeyRelease, Qt::Key_A);
  EXPECT_TRUE(ShowsReleased(9));
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0));
}

TEST_F(KeyInputTest, KeysDownAreReleasedWhenTheWindowLosesTheFocus) {
  Key(QEvent::KeyPress, Qt::Key_K);
  SendMouse(KeyImage(0, 9), QEvent::MouseButtonPress, Qt::LeftButton);
  QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(&Window(), &focusOut);
  EXPECT_TRUE(ShowsReleased(7));
  EXPECT_TRUE(ShowsReleased(9));
  EXPECT_FALSE(Window().KeyInput().IsHeld(7));
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0)) << "neither JOG nor START stays on the drive";
}

TEST_F(KeyInputTest, KeysDownAreReleasedWhenTheWindowIsDeactivated) {
  Key(QEvent::KeyPress, Qt::Key_S);
  QEvent deactivated(QEvent::ActivationChange);
  QApplication::sendEvent(&Window(), &deactivated);  // the window is not active
  EXPECT_TRUE(ShowsReleased(10));
  CompiledKeyBytes();
  EXPECT_EQ(CompiledKeyBytes(), KeyBytes(0, 0));
}

TEST(KeyMappingTest, QtKeysBecomeVirtualKeyCodes) {
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Left), 0x25);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Up), 0x26);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Right), 0x27);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Down), 0x28);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Escape), 0x1B);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Return), 0x0D);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Enter), 0x0D);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_A), 0x41);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Z), 0x5A);
  // Keys whose Qt code would collide with a terminal key's virtual-key code.
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Percent), 0);    // 0x25
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Ampersand), 0);  // 0x26
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Eacute), 0);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F1), 0);
}

}  // namespace
