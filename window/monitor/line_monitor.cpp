#include "line_monitor.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

#include "drive_link.h"
#include "kelvo.h"
#include "line_capture.h"
#include "line_monitor_view.h"
#include "message_dialog.h"
#include "text_table.h"
#include "turnaround_chart.h"

namespace {

constexpr int kCounterRefreshMs = 1000;

enum TCounter {
  kCounterDriveMessages,
  kCounterAnswers,
  kCounterProgTerm,
  kCounterFailed,
  kCounterHoldOff,
  kCounterSilent,
  kCounterDropped,
  kCounterReconnects,
  kCounterCount
};

constexpr int kCounterTexts[kCounterCount] = {
    kTextDriveMessages,     kTextAnswers,       kTextProgTermFrames,    kTextFailedChecks,
    kTextUnansweredHoldOff, kTextSilentSeconds, kTextDroppedCharacters, kTextReconnects};

constexpr int kFilterTexts[TLineKindFilter::kChoiceCount] = {kTextFilterAll,    kTextDriveMessages,
                                                             kTextAnswers,      kTextProgTermFrames,
                                                             kTextFailedChecks, kTextPortEvents};

constexpr int kCheckErrorTexts[kCheckErrorCount] = {kTextCheckNoStx, kTextCheckBadCharacter,
                                                    kTextCheckBadLength, kTextCheckBadChecksum,
                                                    kTextCheckNoEtx};

QString Ms(std::chrono::nanoseconds value) {
  return QString::number(std::chrono::duration<double, std::milli>(value).count(), 'f', 3);
}

}  // namespace

TLineMonitor::TLineMonitor(TDriveLink &link, TLineCapture &capture, QWidget *parent)
    : QWidget(parent, Qt::Window),
      link_(link),
      capture_(capture),
      recorder_([this](TLineRow row) { AddRow(std::move(row)); }) {
  setObjectName(QStringLiteral("LineMonitor"));
  model_ = new TLineMonitorModel(this);
  filter_ = new TLineKindFilter(this);
  filter_->setSourceModel(model_);
  BuildControls();
  Retranslate();
  UpdateCaptureButton();
  connect(&capture_, &TLineCapture::ActiveChanged, this, [this] { UpdateCaptureButton(); });
  resize(1180, 560);
}

TLineMonitor::~TLineMonitor() {
  Watch(false);
}

void TLineMonitor::BuildControls() {
  auto *layout = new QVBoxLayout(this);
  auto *controls = new QHBoxLayout();
  pauseButton_ = new QPushButton(this);
  pauseButton_->setCheckable(true);
  clearButton_ = new QPushButton(this);
  filterBox_ = new QComboBox(this);
  for (int i = 0; i < TLineKindFilter::kChoiceCount; ++i) {
    filterBox_->addItem(QString());
  }
  copyButton_ = new QPushButton(this);
  saveButton_ = new QPushButton(this);
  captureButton_ = new QPushButton(this);
  captureLabel_ = new QLabel(this);
  for (QWidget *control :
       std::initializer_list<QWidget *>{pauseButton_, clearButton_, filterBox_, copyButton_,
                                        saveButton_, captureButton_, captureLabel_}) {
    controls->addWidget(control);
  }
  controls->addStretch();
  layout->addLayout(controls);

  auto *splitter = new QSplitter(Qt::Horizontal, this);
  view_ = new TLineMonitorView(splitter);
  view_->setModel(filter_);

  auto *side = new QWidget(splitter);
  auto *sideLayout = new QVBoxLayout(side);
  auto *form = new QFormLayout();
  for (int i = 0; i < kCounterCount; ++i) {
    counterNames_.push_back(new QLabel(side));
    counterValues_.push_back(new QLabel(side));
    counterValues_.back()->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(counterNames_.back(), counterValues_.back());
  }
  turnaroundName_ = new QLabel(side);
  turnaroundValue_ = new QLabel(side);
  form->addRow(turnaroundName_, turnaroundValue_);
  sideLayout->addLayout(form);
  chart_ = new TTurnaroundChart(side);
  sideLayout->addWidget(chart_);
  sideLayout->addStretch();
  splitter->addWidget(view_);
  splitter->addWidget(side);
  splitter->setStretchFactor(0, 1);
  splitter->setSizes({870, 290});
  layout->addWidget(splitter, 1);

  batchTimer_ = new QTimer(this);
  batchTimer_->setSingleShot(true);
  batchTimer_->setInterval(kBatchIntervalMs);
  counterTimer_ = new QTimer(this);
  counterTimer_->setInterval(kCounterRefreshMs);

  connect(batchTimer_, &QTimer::timeout, this, &TLineMonitor::FlushRows);
  connect(counterTimer_, &QTimer::timeout, this, &TLineMonitor::UpdateCounters);
  connect(pauseButton_, &QPushButton::toggled, this, &TLineMonitor::SetPaused);
  connect(clearButton_, &QPushButton::clicked, this, &TLineMonitor::ClearRows);
  connect(filterBox_, &QComboBox::currentIndexChanged, this, &TLineMonitor::SetFilter);
  connect(copyButton_, &QPushButton::clicked, this, &TLineMonitor::CopyRows);
  connect(saveButton_, &QPushButton::clicked, this, &TLineMonitor::AskAndSave);
  connect(captureButton_, &QPushButton::clicked, this, &TLineMonitor::ToggleCapture);
}

void TLineMonitor::Retranslate() {
  setWindowTitle(GetText(kTextLineMonitor));
  pauseButton_->setText(GetText(kTextMonitorPause));
  clearButton_->setText(GetText(kTextMonitorClear));
  copyButton_->setText(GetText(kTextMonitorCopy));
  saveButton_->setText(GetText(kTextMonitorSave));
  for (int i = 0; i < TLineKindFilter::kChoiceCount; ++i) {
    filterBox_->setItemText(i, GetText(kFilterTexts[i]));
  }
  for (int i = 0; i < kCounterCount; ++i) {
    counterNames_[static_cast<size_t>(i)]->setText(GetText(kCounterTexts[i]) + QLatin1Char(':'));
  }
  // Rich text, so the tooltip wraps instead of running across the screen.
  const QString holdOffTip =
      QStringLiteral("<p>%1</p>").arg(GetText(kTextUnansweredHoldOffTip).toHtmlEscaped());
  counterNames_[kCounterHoldOff]->setToolTip(holdOffTip);
  counterValues_[kCounterHoldOff]->setToolTip(holdOffTip);
  turnaroundName_->setText(GetText(kTextTurnaround) + QLatin1Char(':'));
  UpdateCaptureButton();
  UpdateCounters();
  model_->Retranslate();
}

void TLineMonitor::showEvent(QShowEvent *event) {
  Watch(true);
  QWidget::showEvent(event);
}

void TLineMonitor::hideEvent(QHideEvent *event) {
  // Minimized (a spontaneous hide): it goes on watching, so nothing is missed.
  if (!event->spontaneous()) {
    Watch(false);
  }
  QWidget::hideEvent(event);
}

void TLineMonitor::Watch(bool on) {
  if (on == watching_) {
    return;
  }
  watching_ = on;
  if (on) {
    const TPortThread &port = link_.Port();
    const std::optional<TLinkTime> openedAt =
        port.Connected() ? std::optional<TLinkTime>(port.OpenedAt()) : std::nullopt;
    recorder_.Reset(openedAt);
    recorder_.SetBase(openedAt.value_or(TLinkClock::now()));
    link_.AttachObserver(&recorder_);
    counterTimer_->start();
    UpdateCounters();
  } else {
    link_.DetachObserver(&recorder_);
    counterTimer_->stop();
    batchTimer_->stop();
    FlushRows();
    UpdateCounters();
  }
}

void TLineMonitor::AddRow(TLineRow row) {
  pending_.push_back(std::move(row));
  if (pending_.size() > model_->Capacity()) {
    pending_.erase(pending_.begin());  // paused for very long: keep the newest
  }
  if (!paused_ && !batchTimer_->isActive()) {
    batchTimer_->start();
  }
}

void TLineMonitor::FlushRows() {
  if (paused_ || pending_.empty()) {
    return;
  }
  QScrollBar *scroll = view_->verticalScrollBar();
  const bool follow =
      scroll->value() == scroll->maximum() && !view_->selectionModel()->hasSelection();
  model_->Append(std::move(pending_));
  pending_.clear();
  if (follow) {
    view_->scrollToBottom();
  }
}

void TLineMonitor::SetPaused(bool paused) {
  paused_ = paused;
  if (pauseButton_->isChecked() != paused) {
    pauseButton_->setChecked(paused);
  }
  if (!paused) {
    FlushRows();
  }
}

void TLineMonitor::ClearRows() {
  pending_.clear();
  model_->Clear();
  const TPortThread &port = link_.Port();
  recorder_.Reset(port.Connected() ? std::optional<TLinkTime>(port.OpenedAt()) : std::nullopt);
  UpdateCounters();
}

void TLineMonitor::SetFilter(int choice) {
  filter_->SetChoice(choice);
  if (filterBox_->currentIndex() != choice) {
    filterBox_->setCurrentIndex(choice);
  }
}

void TLineMonitor::CopyRows() {
  QModelIndexList selected = view_->selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end());
  QStringList lines;
  if (selected.isEmpty()) {
    for (int row = 0; row < filter_->rowCount(); ++row) {
      selected << filter_->index(row, 0);
    }
  }
  for (const QModelIndex &index : selected) {
    lines << RowText(model_->Row(filter_->mapToSource(index).row()));
  }
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool TLineMonitor::SaveRowsAsText(const QString &path) {
  UpdateCounters();
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    QTextStream out(&file);
    QStringList header;
    for (int column = 0; column < TLineMonitorModel::kColumnCount; ++column) {
      header << model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    out << header.join(QLatin1Char('\t')) << '\n';
    for (int row = 0; row < filter_->rowCount(); ++row) {
      out << RowText(model_->Row(filter_->mapToSource(filter_->index(row, 0)).row())) << '\n';
    }
    out << '\n' << CountersText();
    out.flush();
    if (out.status() == QTextStream::Ok && file.flush()) {
      return true;
    }
  }
  Luvamsg_ShowDialog(kMessageDialogIconError, QString(), GetText(kTextSaveTextFailed),
                     path + QStringLiteral("\n") + file.errorString(), kMessageDialogButtonOk);
  return false;
}

void TLineMonitor::AskAndSave() {
  const QString path = QFileDialog::getSaveFileName(this, GetText(kTextMonitorSave), QString(),
                                                    QStringLiteral("*.txt"));
  if (!path.isEmpty()) {
    SaveRowsAsText(path);
  }
}

void TLineMonitor::ToggleCapture() {
  if (capture_.Active()) {
    capture_.Stop();
    return;
  }
  const QString path = QFileDialog::getSaveFileName(this, GetText(kTextCaptureStart), QString(),
                                                    QStringLiteral("*.jsonl"));
  if (!path.isEmpty()) {
    capture_.Start(path);
  }
}

void TLineMonitor::UpdateCaptureButton() {
  const bool active = capture_.Active();
  captureButton_->setText(GetText(active ? kTextCaptureStop : kTextCaptureStart));
  captureLabel_->setText(active ? GetText(kTextCapturing).arg(capture_.Path()) : QString());
}

QString TLineMonitor::CountersText() const {
  QString text;
  for (int i = 0; i < kCounterCount; ++i) {
    text += counterNames_[static_cast<size_t>(i)]->text() + QLatin1Char(' ') +
            counterValues_[static_cast<size_t>(i)]->text() + QLatin1Char('\n');
  }
  return text + turnaroundName_->text() + QLatin1Char(' ') + turnaroundValue_->text() +
         QLatin1Char('\n');
}

void TLineMonitor::UpdateCounters() {
  const TLineStatistics &s = recorder_;
  QString failed = QString::number(s.FailedChecks());
  QStringList byCode;
  for (uint8_t code = 0; code < kCheckErrorCount; ++code) {
    if (s.FailedChecks(code) > 0) {
      byCode << GetText(kCheckErrorTexts[code]) + QLatin1Char(' ') +
                    QString::number(s.FailedChecks(code));
    }
  }
  if (!byCode.isEmpty()) {
    failed += QStringLiteral(" (") + byCode.join(QStringLiteral(", ")) + QLatin1Char(')');
  }
  const QString values[kCounterCount] = {
      QString::number(s.DriveMessages()),     QString::number(s.Answers()),
      QString::number(s.ProgTermFrames()),    failed,
      QString::number(s.SkippedByHoldOff()),  QString::number(s.SilentSeconds(TLinkClock::now())),
      QString::number(s.DroppedCharacters()), QString::number(s.Reconnects()),
  };
  for (int i = 0; i < kCounterCount; ++i) {
    QLabel *label = counterValues_[static_cast<size_t>(i)];
    if (label->text() != values[i]) {
      label->setText(values[i]);
    }
  }
  const TTurnaroundHistogram &turnaround = s.Turnaround();
  const QString figures = turnaround.Count() == 0 ? QStringLiteral("-")
                                                  : GetText(kTextTurnaroundFigures)
                                                        .arg(Ms(turnaround.Percentile(0.5)))
                                                        .arg(Ms(turnaround.Percentile(0.99)))
                                                        .arg(Ms(turnaround.Max()));
  if (turnaroundValue_->text() != figures) {
    turnaroundValue_->setText(figures);
  }
  chart_->SetCounts(turnaround.CoarseCounts());
}
