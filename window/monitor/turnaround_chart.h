// A small bar chart of the turnaround histogram's coarse buckets, each bar
// labelled with its upper edge in ms and its count.
#pragma once

#include <QWidget>

#include "line_statistics.h"

class TTurnaroundChart : public QWidget {
  Q_OBJECT

 public:
  explicit TTurnaroundChart(QWidget *parent = nullptr);

  void SetCounts(const TTurnaroundHistogram::TCoarseCounts &counts);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  TTurnaroundHistogram::TCoarseCounts counts_{};
};

// The label of coarse bucket 'index': "<0.1" .. "<50", then "≥50".
QString CoarseBucketLabel(size_t index);
