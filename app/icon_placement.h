#pragma once

#include <QPoint>
#include <QSize>

namespace quillmark {

// Where a minimized window draws its icon in a client area of the given
// size: (client - icon + 1) / 2 on each axis, the fraction dropped toward
// zero, so a client narrower than the icon gives 0 rather than -1.
constexpr int CentredIconOffset(int client, int icon) {
  return (client - icon + 1) / 2;
}

constexpr QPoint MinimizedIconPosition(QSize client, QSize icon) {
  return QPoint(CentredIconOffset(client.width(), icon.width()),
                CentredIconOffset(client.height(), icon.height()));
}

}  // namespace quillmark
