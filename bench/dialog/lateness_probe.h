#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <vector>

namespace quillmark::bench {

// Asks for a wake-up every 10 ms on the thread it lives on and records how
// late each one came: a busy or blocked event loop shows as lateness.
class LatenessProbe {
 public:
  LatenessProbe();
  void Start();
  void Stop();

  struct Summary {
    std::size_t wakeUps = 0;
    double p50Ms = 0, p99Ms = 0, maxMs = 0;
  };
  Summary Summarize() const;

 private:
  void Arm();

  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_dueNs = 0;
  std::vector<qint64> m_latenessNs;
};

}  // namespace quillmark::bench
