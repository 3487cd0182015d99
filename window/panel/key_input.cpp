#include "key_input.h"

#include "image_widget.h"
#include "kelvo.h"

TKeyInput::TKeyInput(TFrontPanel &panel, TKeypad &keypad) : panel_(panel), keypad_(keypad) {
  keypad_.Attach(this);
}

TKeyInput::~TKeyInput() {
  keypad_.Detach(this);
}

void TKeyInput::ShowKey(int key, bool pressed) {
  const int imageIndex = pressed ? key + kKeyCount : key;
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    TImage *image = panel_.KeyImage(size, key);
    if (image == nullptr) {
      continue;  // the panel is not built yet
    }
    image->ClearPicture();
    image->SetPicture(panel_.Images_Button(size).Image(imageIndex));
  }
}

void TKeyInput::KeyChanged(int key, bool down) {
  ShowKey(key, down);
}

void TKeyInput::ButtonMouseDown(TImage *sender) {
  const int key = sender->Tag();
  if (key < 0 || key >= kKeyCount) {
    return;
  }
  currentButtonIndex_ = static_cast<uint8_t>(key);
  held_.set(key);
  keypad_.Press(key);
}

void TKeyInput::ButtonMouseUp(TImage *sender) {
  const int key = sender->Tag();
  if (key < 0 || key >= kKeyCount) {
    return;
  }
  currentButtonIndex_ = static_cast<uint8_t>(key);
  held_.reset(key);
  keypad_.Release(key);
}

void TKeyInput::FormKeyDown(uint16_t virtualKey) {
  const auto key = static_cast<uint8_t>(Kelvo_KeyToID(virtualKey));
  currentButtonIndex_ = key;
  if (key < kKeyCount) {
    ButtonMouseDown(panel_.ButtonTable[key].ImageBig);
  }
}

void TKeyInput::FormKeyUp(uint16_t virtualKey) {
  const auto key = static_cast<uint8_t>(Kelvo_KeyToID(virtualKey));
  currentButtonIndex_ = key;
  if (key < kKeyCount) {
    ButtonMouseUp(panel_.ButtonTable[key].ImageBig);
  }
}

void TKeyInput::ReleaseHeldKeys() {
  for (int key = 0; key < kKeyCount; ++key) {
    if (held_.test(key)) {
      ButtonMouseUp(panel_.ButtonTable[key].ImageBig);
    }
  }
}
