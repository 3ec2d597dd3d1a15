#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <optional>

#include "dialog_texts.h"
#include "interface_language.h"

namespace quillmark {

// Makes window answer help requests with topic, and F1 (without Shift,
// Ctrl or Alt) in it ask for help.
void InstallHelp(QWidget& window, quint32 topic);

// The topic of the first window that answers, asking in turn the window
// holding the mouse capture, the focus window and the active window, each
// with its parents; none when no window answers.
std::optional<quint32> FindHelpTopic();

// The user guide: the executable's path with the extension replaced by
// ".html" (in a build), or that name in the installed documentation
// folder when no guide stands beside the executable. The path beside the
// executable when neither exists. The English guide is the same with
// "_en.html" for its ending.
QString HelpPagePath(const QString& executablePath,
                     InterfaceLanguage language = InterfaceLanguage::Chinese);
QUrl HelpTopicUrl(const QString& pagePath, quint32 topic);

// Opens the guide at the topic; false when the page is missing or could
// not be opened.
bool OpenHelpTopic(const QString& pagePath, quint32 topic);

// What F1 does: finds the topic and opens it in the dialog's language, or
// says that help could not be started.
void OnHelp(QWidget* owner);

}  // namespace quillmark
