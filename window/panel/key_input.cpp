#include "key_input.h"

#include "image_widget.h"
#include "kelvo.h"

void TKeyInput::ShowKey(int key, bool pressed) {
  const int imageIndex = pressed ? key + kKeyCount : key;
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    TImage *image = panel_.KeyImage(size, key);
    image->ClearPicture();
    image->SetPicture(panel_.Images_Button(size).Image(imageIndex));
  }
}

void TKeyInput::ButtonMouseDown(TImage *sender) {
  const int key = sender->Tag();
  if (key < 0 || key >= kKeyCount) {
    return;
  }
  currentButtonIndex_ = static_cast<uint8_t>(key);
  ShowKey(key, true);
  Kelvo_SetButtonStatus(bePressed, panel_.ButtonTable[key].Button);
  held_.set(key);
}

void TKeyInput::ButtonMouseUp(TImage *sender) {
  const int key = sender->Tag();
  if (key < 0 || key >= kKeyCount) {
    return;
  }
  currentButtonIndex_ = static_cast<uint8_t>(key);
  ShowKey(key, false);
  Kelvo_SetButtonStatus(beReleased, panel_.ButtonTable[key].Button);
  held_.reset(key);
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
