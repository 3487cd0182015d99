// Both panels put together as the window shows them, for looking at the pictures in context.
#pragma once

#include <QImage>

namespace pictures {

QImage DrawPanelPreview();

}  // namespace pictures
