#include "key_mapping.h"

#include <Qt>

uint16_t QtKeyToVirtualKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_Escape:
      return 0x1B;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    default:
      break;
  }
  // Qt's codes of the letters and digits are their virtual-key codes.
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
    return static_cast<uint16_t>(qtKey);
  }
  return 0;
}
