#include "turnaround_chart.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr int kRowHeight = 16;
constexpr int kLabelWidth = 44;
constexpr int kCountWidth = 56;

QString Ms(std::chrono::nanoseconds value) {
  return QString::number(std::chrono::duration<double, std::milli>(value).count(), 'g', 3);
}

}  // namespace

QString CoarseBucketLabel(size_t index) {
  const auto &edges = TTurnaroundHistogram::kCoarseEdges;
  if (index < edges.size()) {
    return QStringLiteral("<") + Ms(edges[index]);
  }
  return QStringLiteral("≥") + Ms(edges.back());
}

TTurnaroundChart::TTurnaroundChart(QWidget *parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TTurnaroundChart::SetCounts(const TTurnaroundHistogram::TCoarseCounts &counts) {
  if (counts != counts_) {
    counts_ = counts;
    update();
  }
}

QSize TTurnaroundChart::sizeHint() const {
  return QSize(220, kRowHeight * static_cast<int>(counts_.size()) + 2);
}

void TTurnaroundChart::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  const uint64_t largest = std::max<uint64_t>(1, *std::max_element(counts_.begin(), counts_.end()));
  const int barSpace = std::max(10, width() - kLabelWidth - kCountWidth - 8);
  for (size_t i = 0; i < counts_.size(); ++i) {
    const int top = static_cast<int>(i) * kRowHeight;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, top, kLabelWidth, kRowHeight), Qt::AlignRight | Qt::AlignVCenter,
                     CoarseBucketLabel(i));
    const int bar =
        static_cast<int>(static_cast<double>(counts_[i]) / static_cast<double>(largest) * barSpace);
    painter.fillRect(
        QRect(kLabelWidth + 4, top + 3, std::max(bar, counts_[i] > 0 ? 1 : 0), kRowHeight - 6),
        palette().color(QPalette::Highlight));
    painter.drawText(QRect(width() - kCountWidth, top, kCountWidth, kRowHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(counts_[i]));
  }
}
