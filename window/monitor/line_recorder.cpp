#include "line_recorder.h"

#include <chrono>

double TLineRecorder::MsSinceBase(TLinkTime t) const {
  return std::chrono::duration<double, std::milli>(t - base_).count();
}

void TLineRecorder::FrameHandled(TLinkTime t, const QByteArray &frame, uint8_t checkResult,
                                 uint8_t errorCode, const TReplyData &reply) {
  TLineStatistics::FrameHandled(t, frame, checkResult, errorCode, reply);
  addRow_(ReceivedFrameRow(MsSinceBase(t), frame, checkResult, errorCode, reply));
}

void TLineRecorder::AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length, bool written) {
  TLineStatistics::AnswerWritten(t, bytes, length, written);
  addRow_(AnswerRow(MsSinceBase(t), bytes, length, written));
}

void TLineRecorder::PortChanged(TLinkTime t, TPortEvent event, const QString &portName) {
  TLineStatistics::PortChanged(t, event, portName);
  if (event == TPortEvent::Opened) {
    base_ = t;
  }
  addRow_(PortEventRow(MsSinceBase(t), event, portName));
}
