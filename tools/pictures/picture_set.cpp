#include "picture_set.h"

#include "face_picture.h"
#include "key_pictures.h"
#include "small_pictures.h"
#include "terminal_layout.h"

namespace pictures {

std::vector<NamedPicture> AllPictures() {
  std::vector<NamedPicture> set = {
      {QStringLiteral("face_big.png"), DrawFace(BigLayout())},
      {QStringLiteral("face_small.png"), DrawFace(SmallLayout())},
      {QStringLiteral("keys_big.png"), DrawKeyStrip(BigLayout().keySide)},
      {QStringLiteral("keys_small.png"), DrawKeyStrip(SmallLayout().keySide)},
      {QStringLiteral("resize_down.png"), DrawResizeTriangle(true)},
      {QStringLiteral("resize_up.png"), DrawResizeTriangle(false)},
      {QStringLiteral("about_terminal.png"), DrawAboutTerminal()},
  };
  for (int side : {16, 32, 64}) {
    set.push_back({QStringLiteral("icon_%1.png").arg(side), DrawIcon(side)});
  }
  return set;
}

}  // namespace pictures
