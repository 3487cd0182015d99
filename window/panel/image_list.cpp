#include "image_list.h"

TImageList::TImageList(const QPixmap &strip, int width, int height, int count) {
  images_.reserve(count);
  for (int i = 0; i < count; ++i) {
    const QRect tile(i * width, 0, width, height);
    if (strip.rect().contains(tile)) {
      images_.push_back(strip.copy(tile));
    } else {
      images_.emplace_back();
    }
  }
}

QPixmap TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) {
    return {};
  }
  return images_[index];
}
