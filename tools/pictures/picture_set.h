// The complete set of pictures the window loads, by file name.
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace pictures {

struct NamedPicture {
  QString fileName;
  QImage image;
};

std::vector<NamedPicture> AllPictures();

}  // namespace pictures
