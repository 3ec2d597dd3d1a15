#include "run_progress.h"

#include <QMetaObject>

#include "batch_limits.h"
#include "dialog_language.h"
#include "failure_count.h"

namespace quillmark {

QString FailureCountText(int failed, int deviceCount) {
  return QString::fromStdString(quillmark::FailureCountText(failed, deviceCount, DialogLanguage()));
}

QStringList WidestFailureCountTexts() {
  return {FailureCountText(kMaxDeviceCount, kMaxDeviceCount)};
}

RunProgress::RunProgress(QProgressBar* bar, QLabel* failureCount)
    : m_bar(bar), m_failureCount(failureCount) {}

void RunProgress::Begin(int deviceCount) {
  m_deviceCount = deviceCount;
  m_running = true;
  m_written = 0;
  m_failed = 0;
  m_bar->setRange(0, deviceCount);
  m_bar->setValue(0);
  m_bar->show();
  ShowFailures(0, 0, 0);
}

void RunProgress::End(bool finished, const std::optional<BatchOutcome>& count) {
  m_running = false;
  m_bar->hide();
  if (finished) {
    ShowFailures(0, 0, 0);
    return;
  }
  // A run cut short leaves the devices after its last one without a file
  // as well: the operator needs every device that has none, and the
  // tooltip says which failed and which were never reached, as the ledger
  // records them.
  if (count)
    ShowFailures(count->devicesWritten, count->devicesFailed, count->devicesNotReached);
  else
    ShowFailures(m_written, m_failed, m_deviceCount - m_written - m_failed);
}

void RunProgress::DeviceDone(bool written) {
  ++(written ? m_written : m_failed);
  // At most one update waits in the queue, however fast devices finish;
  // it shows the counts as they are when it runs, unless the run has
  // ended by then.
  if (m_updateQueued.exchange(true))
    return;
  QMetaObject::invokeMethod(
      m_bar,
      [this] {
        m_updateQueued = false;
        if (!m_running)
          return;
        const int failed = m_failed;
        m_bar->setValue(failed + m_written);
        ShowFailures(m_written, failed, std::nullopt);
      },
      Qt::QueuedConnection);
}

void RunProgress::ShowFailures(int written, int attempted, std::optional<int> notReached) {
  const FailureCountShown shown =
      FailureCountFor(m_deviceCount, written, attempted, notReached, DialogLanguage());
  if (shown.text.empty()) {
    m_failureCount->clear();
    m_failureCount->setToolTip(QString());
    m_failureCount->hide();
    return;
  }
  m_failureCount->setText(QString::fromStdString(shown.text));
  m_failureCount->setToolTip(QString::fromStdString(shown.tip));
  m_failureCount->show();
}

}  // namespace quillmark
