#include "memory_view.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "memory_file_dialogs.h"
#include "memory_file_image.h"
#include "memory_table_model.h"
#include "text_table.h"

namespace {

constexpr int kAddressRole = Qt::UserRole;

QString ComparisonText(TMemoryFileImageOutcome outcome, uint32_t dataBytes, const QString &name,
                       size_t runs, uint32_t bytes) {
  switch (outcome) {
    case TMemoryFileImageOutcome::Missing:
    case TMemoryFileImageOutcome::NotRegularFile:
    case TMemoryFileImageOutcome::Unreadable:
      return GetText(kTextCompareUnreadable).arg(name);
    case TMemoryFileImageOutcome::NotMemoryFile:
      return GetText(kTextCompareNotMemoryFile).arg(name);
    case TMemoryFileImageOutcome::Short:
    case TMemoryFileImageOutcome::Complete:
      break;
  }
  QString text = runs == 0 ? GetText(kTextCompareSame).arg(name)
                           : GetText(kTextCompareDiffers).arg(runs).arg(bytes).arg(name);
  if (outcome == TMemoryFileImageOutcome::Short) {
    text += QLatin1Char('\n') + GetText(kTextCompareShortFile).arg(dataBytes);
  }
  return text;
}

}  // namespace

TForm_MemoryView::TForm_MemoryView(const TTerminalMemory &memory, QWidget *parent,
                                   TMonotonicClock clock)
    : QWidget(parent, Qt::Window), memory_(memory), recent_(std::move(clock)) {
  setObjectName(QStringLiteral("Form_MemoryView"));
  model_ = new TMemoryTableModel(memory_, recent_, this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  BuildTable(fixed);
  BuildControls(fixed);
  resize(minimumSizeHint().width(), 600);

  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshInterval);
  connect(timer_, &QTimer::timeout, this, &TForm_MemoryView::Refresh);
  connect(compareButton_, &QPushButton::clicked, this, &TForm_MemoryView::ChooseFileToCompare);
  connect(differences_, &QListWidget::itemActivated, this, &TForm_MemoryView::ShowRun);
  connect(differences_, &QListWidget::itemClicked, this, &TForm_MemoryView::ShowRun);
  ApplyLanguage();
}

// Fixed-width cells in a fixed-width font, and a table wide enough for all
// of them, so the view never scrolls sideways.
void TForm_MemoryView::BuildTable(const QFont &fixed) {
  const QFontMetrics metrics(fixed);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("Table_Memory"));
  table_->setModel(model_);
  table_->setFont(fixed);
  table_->setWordWrap(false);
  table_->setShowGrid(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QHeaderView *rows = table_->verticalHeader();
  rows->setFont(fixed);
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(metrics.height() + 4);
  rows->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("0x0000")) + 12);
  QHeaderView *columns = table_->horizontalHeader();
  columns->setFont(fixed);
  columns->setSectionResizeMode(QHeaderView::Fixed);
  const int byteWidth = metrics.horizontalAdvance(QStringLiteral("000"));
  for (int column = 0; column < TMemoryTableModel::kByteColumns; ++column) {
    table_->setColumnWidth(column, byteWidth);
  }
  const int asciiWidth = metrics.horizontalAdvance(QString(17, QLatin1Char('W')));
  table_->setColumnWidth(TMemoryTableModel::kAsciiColumn, asciiWidth);
  table_->setMinimumWidth(rows->width() + TMemoryTableModel::kByteColumns * byteWidth + asciiWidth +
                          style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                          2 * table_->frameWidth() + 2);
}

void TForm_MemoryView::BuildControls(const QFont &fixed) {
  auto *swatch = new QLabel(this);
  swatch->setFixedSize(14, 14);
  swatch->setStyleSheet(QStringLiteral("background: %1; border: 1px solid gray;")
                            .arg(TMemoryTableModel::HighlightColor().name()));
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("Label_RecentWrites"));
  note_->setWordWrap(true);
  compareButton_ = new QPushButton(this);
  compareButton_->setObjectName(QStringLiteral("Button_CompareWithFile"));
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("Label_Comparison"));
  summary_->setWordWrap(true);
  summary_->setTextFormat(Qt::PlainText);
  summary_->hide();
  differences_ = new QListWidget(this);
  differences_->setObjectName(QStringLiteral("List_Differences"));
  differences_->setFont(fixed);
  differences_->setMaximumHeight(130);
  differences_->hide();

  auto *top = new QHBoxLayout;
  top->addWidget(swatch);
  top->addWidget(note_, 1);
  top->addWidget(compareButton_);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
  layout->addWidget(summary_);
  layout->addWidget(differences_);
}

TForm_MemoryView::~TForm_MemoryView() = default;

void TForm_MemoryView::MemoryBlockWritten(uint32_t address, uint32_t length) {
  recent_.Mark(address, length);
}

void TForm_MemoryView::ApplyLanguage() {
  setWindowTitle(GetText(kTextMemoryView));
  note_->setText(GetText(kTextRecentWritesNote));
  compareButton_->setText(GetText(kTextCompareWithFile));
  if (summaryText_) {
    summary_->setText(summaryText_());
  }
}

void TForm_MemoryView::Refresh() {
  model_->Refresh(recent_.TakeChangedRows());
}

QString TForm_MemoryView::Summary() const {
  return summary_->text();
}

void TForm_MemoryView::CompareWithFile(const QString &path) {
  Refresh();  // the table shows the memory that is compared
  const TMemoryFileImage image = ReadMemoryFileImage(path);
  const QString name = QFileInfo(path).fileName();
  std::vector<TMemoryDiffRun> runs;
  if (image.HasImage()) {
    runs = FindDifferingRuns(memory_, image.memory);
  }
  uint32_t bytes = 0;
  differences_->clear();
  for (const TMemoryDiffRun &run : runs) {
    bytes += run.length;
    auto *item = new QListWidgetItem(FormatDiffRun(run, memory_, image.memory, kListedRunBytes),
                                     differences_);
    item->setData(kAddressRole, run.address);
  }
  summaryText_ = [outcome = image.outcome, dataBytes = image.dataBytes, name, count = runs.size(),
                  bytes] { return ComparisonText(outcome, dataBytes, name, count, bytes); };
  summary_->setText(summaryText_());
  summary_->show();
  differences_->setVisible(!runs.empty());
}

void TForm_MemoryView::ChooseFileToCompare() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("CompareDialog"));
  dialog.setWindowTitle(GetText(kTextCompareWithFile));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  ConfigureMemoryFileDialog(dialog);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    CompareWithFile(dialog.selectedFiles().first());
  }
}

void TForm_MemoryView::ShowRun(QListWidgetItem *item) {
  const QModelIndex cell = model_->IndexOf(item->data(kAddressRole).toUInt());
  table_->scrollTo(cell, QAbstractItemView::PositionAtCenter);
  table_->setCurrentIndex(cell);
}

void TForm_MemoryView::showEvent(QShowEvent *event) {
  Refresh();
  timer_->start();
  QWidget::showEvent(event);
}

void TForm_MemoryView::hideEvent(QHideEvent *event) {
  timer_->stop();
  QWidget::hideEvent(event);
}
