#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include "job_acceptance.h"

namespace quillmark {

// The executable's file name without its extension; the caption of every
// message box, so a renamed executable shows its new name.
QString ApplicationNameFor(const QString& executablePath);

// The width a message box needs so that the window manager can draw its
// whole caption: the caption in the title font, in bold as many managers
// draw it, beside the title bar's icon and three buttons with room to
// spare (each about a title bar's height wide), and never below minimum.
int MessageBoxWidthFor(const QString& caption, const QFont& titleFont, int titleBarHeight,
                       int minimum);

// A modal message box owned by owner, with the application's name as its
// caption and an OK button only. Plain has no icon; Warning has the
// warning icon and blocks the whole application.
void ShowMessage(QWidget* owner, const QString& text, MessageStyle style = MessageStyle::Plain);

}  // namespace quillmark
