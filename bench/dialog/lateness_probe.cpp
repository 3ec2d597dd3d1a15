#include "lateness_probe.h"

#include <algorithm>

namespace quillmark::bench {
namespace {

constexpr int kPeriodMs = 10;

double PercentileMs(const std::vector<qint64>& sorted, double fraction) {
  if (sorted.empty())
    return 0;
  const auto rank =
      static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return static_cast<double>(sorted[rank]) / 1e6;
}

}  // namespace

LatenessProbe::LatenessProbe() {
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&m_timer, &QTimer::timeout, [this] {
    m_latenessNs.push_back(std::max<qint64>(0, m_clock.nsecsElapsed() - m_dueNs));
    Arm();
  });
}

// Each wake-up is asked for anew from the moment the last one came, so one
// late wake-up is counted once rather than pushing every later one.
void LatenessProbe::Arm() {
  m_dueNs = m_clock.nsecsElapsed() + kPeriodMs * 1000000LL;
  m_timer.start(kPeriodMs);
}

void LatenessProbe::Start() {
  m_latenessNs.clear();
  m_clock.start();
  Arm();
}

void LatenessProbe::Stop() {
  m_timer.stop();
}

LatenessProbe::Summary LatenessProbe::Summarize() const {
  std::vector<qint64> sorted = m_latenessNs;
  std::sort(sorted.begin(), sorted.end());
  Summary summary;
  summary.wakeUps = sorted.size();
  summary.p50Ms = PercentileMs(sorted, 0.50);
  summary.p99Ms = PercentileMs(sorted, 0.99);
  summary.maxMs = sorted.empty() ? 0 : static_cast<double>(sorted.back()) / 1e6;
  return summary;
}

}  // namespace quillmark::bench
