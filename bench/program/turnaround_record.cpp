#include "turnaround_record.h"

#include <algorithm>
#include <cinttypes>

#include "link/exchange/percentile.h"

double TTurnaroundRecord::Percentile(double fraction) const {
  if (turnaroundMs.empty()) {
    return 0;
  }
  std::vector<double> sorted = turnaroundMs;
  std::sort(sorted.begin(), sorted.end());
  return sorted[PercentileRank(fraction, sorted.size()) - 1];
}

bool TTurnaroundRecord::WriteTimeline(const std::string &path) const {
  std::FILE *file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    return false;
  }
  for (const auto &[at, ms] : timeline) {
    if (ms < 0) {
      std::fprintf(file, "%.6f -\n", at);
    } else {
      std::fprintf(file, "%.6f %.3f\n", at, ms);
    }
  }
  return std::fclose(file) == 0;
}

void TTurnaroundRecord::Print(std::FILE *out) const {
  const uint64_t answered = turnaroundMs.size();
  std::fprintf(out, "messages measured: %" PRIu64 "\n", answered + unanswered);
  std::fprintf(out, "answered: %" PRIu64 "\n", answered);
  std::fprintf(out, "unanswered: %" PRIu64 "\n", unanswered);
  std::fprintf(out, "invalid answers: %" PRIu64 "\n", invalidAnswers);
  std::fprintf(out, "late bytes: %" PRIu64 "\n", lateBytes);
  std::fprintf(out, "unanswered before the first answer: %" PRIu64 "\n", warmUpUnanswered);
  std::fprintf(out, "messages per s: %.1f\n", seconds > 0 ? (answered + unanswered) / seconds : 0);
  std::fprintf(out, "turnaround p50 ms: %.3f\n", Percentile(0.50));
  std::fprintf(out, "turnaround p99 ms: %.3f\n", Percentile(0.99));
  std::fprintf(out, "turnaround max ms: %.3f\n", Percentile(1.0));
  std::fflush(out);
}
