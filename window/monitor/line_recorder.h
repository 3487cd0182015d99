// The line monitor's view of the link: its counters (TLineStatistics), which
// also hand every frame, answer and port event they count to the monitor as
// a row. Attached to the link while the monitor watches; no widgets.
#pragma once

#include <functional>

#include "line_monitor_rows.h"
#include "line_statistics.h"

class TLineRecorder final : public TLineStatistics {
 public:
  using TAddRow = std::function<void(TLineRow row)>;

  explicit TLineRecorder(TAddRow addRow) : addRow_(std::move(addRow)) {}

  // Rows count their time from 'base'; a port that opens moves it.
  void SetBase(TLinkTime base) { base_ = base; }

  void FrameHandled(TLinkTime t, const QByteArray &frame, uint8_t checkResult, uint8_t errorCode,
                    const TReplyData &reply) override;
  void AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length, bool written) override;
  void PortChanged(TLinkTime t, TPortEvent event, const QString &portName) override;

 private:
  double MsSinceBase(TLinkTime t) const;

  TAddRow addRow_;
  TLinkTime base_{};
};
