#include "front_panel.h"

#include <QPainter>

#include "display_colors.h"
#include "display_font.h"
#include "display_line_label.h"
#include "image_widget.h"
#include "key_layout.h"

namespace {

constexpr TCellSegments kCellSegmentsBig = {{
    {5, 0, 12, 11},
    {5, 8, 12, 19},
    {5, 0, 12, 19},
    {0, 0, 7, 11},
    {0, 8, 7, 19},
    {0, 0, 7, 19},
    {0, 0, 12, 8},
    {0, 11, 12, 19},
}};

constexpr TCellSegments kCellSegmentsSmall = {{
    {4, 0, 9, 7},
    {4, 7, 9, 14},
    {4, 0, 9, 14},
    {0, 0, 5, 7},
    {0, 7, 5, 14},
    {0, 0, 5, 14},
    {0, 0, 9, 6},
    {0, 8, 9, 14},
}};

constexpr int kKeySide[kSizeCount] = {kKeySideBig, kKeySideSmall};
constexpr QSize kCellSize[kSizeCount] = {{12, 18}, {8, 13}};
// The clearing rectangle of a cell; it covers the whole cell.
constexpr TCellRect kCellClear[kSizeCount] = {{0, 0, 13, 19}, {0, 0, 9, 14}};

QRect FillArea(const TCellRect &r) {
  return QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
}

void BuildKeyImages(TFrontPanel &panel) {
  for (int k = 0; k < kKeyImageCount; ++k) {
    const int size = k / kKeyCount;
    const int key = k % kKeyCount;
    TButtonPlacement &entry = panel.ButtonTable[key];
    const QPoint pos = size == kSizeBig ? entry.PosBig : entry.PosSmall;
    auto *image = new TImage(panel.Group_TerminalSize[size]);
    image->setObjectName(
        QStringLiteral("Image_Button%1_%2").arg(size == kSizeBig ? "Big" : "Small").arg(key));
    image->setGeometry(pos.x(), pos.y() + kPanelHeadHeight, kKeySide[size], kKeySide[size]);
    image->SetTag(key);
    image->setAttribute(Qt::WA_OpaquePaintEvent);
    image->ClearPicture();
    image->SetPicture(panel.Images_Button(size).Image(key));
    image->show();
    (size == kSizeBig ? entry.ImageBig : entry.ImageSmall) = image;
  }
}

void BuildDisplayLines(TFrontPanel &panel) {
  for (int k = 0; k < kSizeCount * kDisplayLineCount; ++k) {
    const int size = k / kDisplayLineCount;
    const int line = k % kDisplayLineCount;
    auto *label = new TDisplayLineLabel(panel.Group_TerminalSize[size]);
    label->setObjectName(QStringLiteral("Label_DisplayLine%1_%2").arg(size).arg(line));
    label->SetTag(line);
    label->setFont(MakeDisplayFont(size, label));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kDisplayTextColor);
    palette.setColor(QPalette::Window, kDisplayGreen);
    label->setPalette(palette);
    label->move(DisplayLineTextLeft(size), DisplayLineTop(size, line));
    label->SetLineText(QString());
    label->show();
    panel.Label_DisplayLine[size][line] = label;
  }
}

void BuildDisplayCells(TFrontPanel &panel) {
  for (int k = 0; k < kSizeCount * kCellRows * kCellColumns; ++k) {
    const int size = k / (kCellRows * kCellColumns);
    const int row = (k % (kCellRows * kCellColumns)) / kCellColumns;
    const int column = k % kCellColumns;
    auto *cell = new TImage(panel.Group_TerminalSize[size]);
    cell->setObjectName(QStringLiteral("Image_DisplayCell%1_%2_%3").arg(size).arg(row).arg(column));
    cell->setAttribute(Qt::WA_OpaquePaintEvent);
    cell->setAttribute(Qt::WA_TransparentForMouseEvents);
    cell->setGeometry(DisplayLineTextLeft(size) + column * DisplayPitch(size),
                      DisplayLineTop(size, 0) +
                          row * (size == kSizeBig ? kDisplayLineStepBig : kDisplayLineStepSmall) +
                          1,
                      kCellSize[size].width(), kCellSize[size].height());
    QPixmap picture(kCellSize[size]);
    picture.fill(kDisplayGreen);
    cell->SetPicture(picture);
    cell->hide();
    panel.Image_DisplayCell[size][row][column] = cell;
  }
}

}  // namespace

int DisplayLineTextLeft(int size) {
  return size == kSizeBig ? 56 : 38;
}

int DisplayLineGraphicLeft(int size) {
  return DisplayLineTextLeft(size) + kCellColumns * DisplayPitch(size);
}

int DisplayLineTop(int size, int line) {
  return size == kSizeBig ? 35 + kDisplayLineStepBig * line : 26 + kDisplayLineStepSmall * line;
}

void BuildFrontPanel(TFrontPanel &panel) {
  for (int key = 0; key < kKeyCount; ++key) {
    panel.ButtonTable[key].PosBig = kKeyPlaces[key].big;
    panel.ButtonTable[key].PosSmall = kKeyPlaces[key].small;
    panel.ButtonTable[key].Button = kTerminalKeys[key].button;
  }
  BuildKeyImages(panel);
  BuildDisplayLines(panel);
  BuildDisplayCells(panel);
  panel.CellSegmentsBig = kCellSegmentsBig;
  panel.CellSegmentsSmall = kCellSegmentsSmall;
}

void DrawCell(TImage &cell, int size, const TCellSegments &segments, uint8_t code) {
  QPainter painter(&cell.Canvas());
  painter.fillRect(FillArea(kCellClear[size]), kDisplayGreen);
  if (code < kCellCodeCount) {
    painter.fillRect(FillArea(segments[code]), kDisplayTextColor);
  }
  painter.end();
  cell.PictureChanged();
}
