// A list of equally sized images cut from one strip picture laid out side by
// side (image i at x = i * width).
#pragma once

#include <QPixmap>
#include <vector>

class TImageList {
 public:
  TImageList() = default;
  // Cuts 'count' images of width x height from the strip; images the strip
  // is too short for stay empty.
  TImageList(const QPixmap &strip, int width, int height, int count);

  int Count() const { return static_cast<int>(images_.size()); }
  // An empty pixmap for an index outside the list.
  QPixmap Image(int index) const;

 private:
  std::vector<QPixmap> images_;
};
