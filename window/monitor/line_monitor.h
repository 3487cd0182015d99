// The line monitor window: the frames and answers passing on the line, each
// with its time since the port opened, and the link's counters and the
// turnaround. It watches the link from the moment it is shown until it is
// closed (also while it is minimized); closed, it costs the link nothing.
// The counters start again when it starts watching, when a port opens and
// when the list is cleared; the reconnect's reopen of a lost line goes on
// counting (TLineStatistics).
//
// Rows reach the list in batches on a short single-shot timer; while the
// user has rows selected or has scrolled up, the list does not scroll.
#pragma once

#include <QWidget>
#include <vector>

#include "line_monitor_model.h"
#include "line_recorder.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class TDriveLink;
class TLineCapture;
class TLineMonitorView;
class TTurnaroundChart;

class TLineMonitor : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kBatchIntervalMs = 200;

  TLineMonitor(TDriveLink &link, TLineCapture &capture, QWidget *parent = nullptr);
  ~TLineMonitor() override;

  // Every text again in the current language.
  void Retranslate();

  // Rows waiting for the next batch go into the list now.
  void FlushRows();
  void SetPaused(bool paused);
  void ClearRows();
  void SetFilter(int choice);
  void CopyRows();
  // Writes the rows shown as text; false (reported) when it fails.
  bool SaveRowsAsText(const QString &path);

  const TLineMonitorModel &Model() const { return *model_; }
  const TLineKindFilter &Filter() const { return *filter_; }
  const TLineStatistics &Statistics() const { return recorder_; }
  TLineMonitorView *View() const { return view_; }
  // The counters as shown, one "name: value" line each.
  QString CountersText() const;

 protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

 private:
  void BuildControls();
  void Watch(bool on);
  void AddRow(TLineRow row);
  void UpdateCounters();
  void UpdateCaptureButton();
  void ToggleCapture();
  void AskAndSave();

  TDriveLink &link_;
  TLineCapture &capture_;
  TLineRecorder recorder_;
  TLineMonitorModel *model_ = nullptr;
  TLineKindFilter *filter_ = nullptr;
  std::vector<TLineRow> pending_;
  bool watching_ = false;
  bool paused_ = false;

  TLineMonitorView *view_ = nullptr;
  QTimer *batchTimer_ = nullptr;
  QTimer *counterTimer_ = nullptr;
  QPushButton *pauseButton_ = nullptr;
  QPushButton *clearButton_ = nullptr;
  QComboBox *filterBox_ = nullptr;
  QPushButton *copyButton_ = nullptr;
  QPushButton *saveButton_ = nullptr;
  QPushButton *captureButton_ = nullptr;
  QLabel *captureLabel_ = nullptr;
  std::vector<QLabel *> counterNames_;
  std::vector<QLabel *> counterValues_;
  QLabel *turnaroundName_ = nullptr;
  QLabel *turnaroundValue_ = nullptr;
  TTurnaroundChart *chart_ = nullptr;
};
