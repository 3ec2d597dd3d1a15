#pragma once

#include <QIcon>

namespace quillmark {

// Icon 128: the title bar, the about box and the minimized dialog.
inline QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 48})
    icon.addFile(QStringLiteral(":/icons/quillmark-%1.png").arg(size));
  return icon;
}

}  // namespace quillmark
