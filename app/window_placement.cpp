#include "window_placement.h"

#include <QEvent>
#include <QScreen>
#include <QWindow>

namespace quillmark {
namespace {

class ScreenCentring : public QObject {
 public:
  explicit ScreenCentring(QWidget& window) : QObject(&window), m_window(window) {
    window.installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &m_window || m_settled)
      return false;
    switch (event->type()) {
      case QEvent::Show:
        if (!m_shown)
          Centre();
        m_shown = true;
        break;
      case QEvent::Paint:
        // The frame is known once the window appeared; it is centred
        // again then, after the paint.
        m_painted = m_shown;
        if (m_painted && FrameMargins() != m_centredWith) {
          m_settled = true;
          QMetaObject::invokeMethod(this, &ScreenCentring::Centre, Qt::QueuedConnection);
        }
        break;
      case QEvent::Move:
        // Moved after it appeared: the user's place, left alone.
        m_settled = m_painted;
        break;
      default:
        break;
    }
    return false;
  }

 private:
  QMargins FrameMargins() const {
    const QWindow* handle = m_window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
  }

  void Centre() {
    const QScreen* screen = m_window.screen();
    if (screen == nullptr)
      return;
    m_centredWith = FrameMargins();
    // Placed by its client area: the frame Qt reckons with may still be
    // the one it had before the window manager told it.
    const QPoint frame =
        CentredFramePosition(screen->availableGeometry(), m_window.size(), m_centredWith);
    m_window.setGeometry(
        QRect(frame + QPoint(m_centredWith.left(), m_centredWith.top()), m_window.size()));
  }

  QWidget& m_window;
  bool m_shown = false;
  bool m_painted = false;
  bool m_settled = false;
  QMargins m_centredWith;
};

}  // namespace

QPoint CentredFramePosition(const QRect& workArea, const QSize& client, const QMargins& frame) {
  const int width = client.width() + frame.left() + frame.right();
  const int height = client.height() + frame.top() + frame.bottom();
  return QPoint(workArea.x() + (workArea.width() - width) / 2,
                workArea.y() + (workArea.height() - height) / 2);
}

std::optional<QPoint> ClearOfPosition(const QRect& workArea, const QRect& avoid,
                                      const QSize& frame) {
  const int centredX = avoid.center().x() - frame.width() / 2;
  const int centredY = avoid.center().y() - frame.height() / 2;
  const QPoint candidates[] = {
      {centredX, avoid.bottom() + 1},
      {centredX, avoid.top() - frame.height()},
      {avoid.right() + 1, centredY},
      {avoid.left() - frame.width(), centredY},
  };
  for (const QPoint& at : candidates) {
    if (workArea.contains(QRect(at, frame)))
      return at;
  }
  return std::nullopt;
}

void CentreOnScreenWhenShown(QWidget& window) {
  new ScreenCentring(window);
}

}  // namespace quillmark
