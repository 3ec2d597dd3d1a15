#pragma once

#include <QString>
#include <QWidget>

#include "job_acceptance.h"

namespace quillmark {

// The executable's file name without its extension; the caption of every
// message box, so a renamed executable shows its new name.
QString ApplicationNameFor(const QString& executablePath);

// A modal message box owned by owner, with the application's name as its
// caption and an OK button only. Plain has no icon; Warning has the
// warning icon and blocks the whole application.
void ShowMessage(QWidget* owner, const QString& text, MessageStyle style = MessageStyle::Plain);

}  // namespace quillmark
