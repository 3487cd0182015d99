#include "replay_plan.h"

#include <QString>
#include <algorithm>
#include <limits>

#include "capture_reader.h"
#include "frame_bytes.h"
#include "signals.h"

namespace vdrive {
namespace {

using kelvo::kEtx;

// Offsets in the plan's buffer fit 32 bits: a file within the limit holds
// at most half as many bytes as hex digits.
static_assert(kCaptureMaxFileBytes / 2 <= std::numeric_limits<uint32_t>::max());

ByteSpan Append(std::vector<uint8_t> &buffer, const QByteArray &bytes) {
  const ByteSpan span{static_cast<uint32_t>(buffer.size()), static_cast<uint32_t>(bytes.size())};
  buffer.insert(buffer.end(), bytes.begin(), bytes.end());
  return span;
}

}  // namespace

bool LoadReplayPlan(const std::string &path, ReplayPlan &plan, std::string &error) {
  TCaptureReadStop stop;
  stop.wakeFd = SignalWakeFd();
  stop.drainWakeFd = DrainSignalWakeFd;
  stop.requested = StopRequested;
  TCaptureReader reader(TCaptureLimits(), std::move(stop));
  QString reason;
  if (!reader.Open(QString::fromStdString(path), reason)) {
    error = path + ": " + reason.toStdString();
    return false;
  }
  plan = ReplayPlan();
  TCaptureRecord record;
  bool first = true;
  for (;;) {
    const TCaptureReader::TStep step = reader.Next(record, reason);
    if (step == TCaptureReader::TStep::Failed) {
      error = path + ": " + reason.toStdString();
      return false;
    }
    if (step == TCaptureReader::TStep::Stopped) {
      error = path + ": reading stopped by a signal";
      return false;
    }
    if (first &&
        (step == TCaptureReader::TStep::End || record.kind != TCaptureRecord::TKind::Header)) {
      error = path + ": not a Sorvanel capture (no header line)";
      return false;
    }
    if (step == TCaptureReader::TStep::End) {
      break;
    }
    first = false;
    if (record.kind == TCaptureRecord::TKind::Rx) {
      plan.chunks.push_back({record.t, Append(plan.bytes, record.bytes)});
      plan.messages += static_cast<uint64_t>(
          std::count(record.bytes.begin(), record.bytes.end(), static_cast<char>(kEtx)));
    } else if (record.kind == TCaptureRecord::TKind::Tx && !record.failed &&
               (plan.answers.empty() || plan.answers.back().message != plan.messages)) {
      plan.answers.push_back({plan.messages, Append(plan.bytes, record.bytes)});
    }
  }
  return true;
}

}  // namespace vdrive
