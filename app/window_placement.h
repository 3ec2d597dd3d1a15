#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <optional>

namespace quillmark {

// The top-left corner of a window's frame that centres the frame (the
// client area plus the window manager's borders) in a work area.
QPoint CentredFramePosition(const QRect& workArea, const QSize& client, const QMargins& frame);

// Where a window's frame of the given size stands clear of another
// window's frame (avoid) inside the work area: below it, else above, to
// its right or to its left; none when it fits nowhere.
std::optional<QPoint> ClearOfPosition(const QRect& workArea, const QRect& avoid,
                                      const QSize& frame);

// Centres window on the work area of the screen it opens on when it is
// first shown, and again once the window manager has told how wide its
// frame is, since that is known only after the window appeared.
void CentreOnScreenWhenShown(QWidget& window);

}  // namespace quillmark
