#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace quillmark {

// The top-left corner of a window's frame that centres the frame (the
// client area plus the window manager's borders) in a work area.
QPoint CentredFramePosition(const QRect& workArea, const QSize& client, const QMargins& frame);

// Centres window on the work area of the screen it opens on when it is
// first shown, and again once the window manager has told how wide its
// frame is, since that is known only after the window appeared.
void CentreOnScreenWhenShown(QWidget& window);

}  // namespace quillmark
