#include "help.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>

#include "dialog_language.h"
#include "dialog_texts.h"
#include "message_box.h"

namespace quillmark {
namespace {

constexpr char kHelpTopicProperty[] = "helpTopic";

std::optional<quint32> TopicOfWindowOrParents(const QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    const QVariant topic = widget->property(kHelpTopicProperty);
    if (topic.isValid())
      return topic.toUInt();
  }
  return std::nullopt;
}

}  // namespace

void InstallHelp(QWidget& window, quint32 topic) {
  window.setProperty(kHelpTopicProperty, topic);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &window);
  QObject::connect(f1, &QShortcut::activated, &window, [&window] { OnHelp(&window); });
}

std::optional<quint32> FindHelpTopic() {
  for (const QWidget* start :
       {QWidget::mouseGrabber(), QApplication::focusWidget(), QApplication::activeWindow()}) {
    if (std::optional<quint32> topic = TopicOfWindowOrParents(start))
      return topic;
  }
  return std::nullopt;
}

QString HelpPagePath(const QString& executablePath, InterfaceLanguage language) {
  const QFileInfo executable(executablePath);
  const QString name =
      QString::fromStdString(HelpPageName(executable.completeBaseName().toStdString(), language));
  const QString beside = executable.dir().filePath(name);
  const QString installed =
      QDir::cleanPath(executable.dir().filePath(QStringLiteral(QUILLMARK_DOC_DIR_FROM_BIN)) +
                      QLatin1Char('/') + name);
  return QFileInfo(beside).isFile() || !QFileInfo(installed).isFile() ? beside : installed;
}

QUrl HelpTopicUrl(const QString& pagePath, quint32 topic) {
  QUrl url = QUrl::fromLocalFile(QFileInfo(pagePath).absoluteFilePath());
  url.setFragment(QString::fromStdString(HelpTopicAnchor(topic)));
  return url;
}

bool OpenHelpTopic(const QString& pagePath, quint32 topic) {
  if (!QFileInfo(pagePath).isFile())
    return false;
  return QDesktopServices::openUrl(HelpTopicUrl(pagePath, topic));
}

void OnHelp(QWidget* owner) {
  const std::optional<quint32> topic = FindHelpTopic();
  if (!topic)
    return;
  if (!OpenHelpTopic(HelpPagePath(QCoreApplication::applicationFilePath(), DialogLanguage()),
                     *topic)) {
    ShowMessage(owner, DialogText(dialog_text::kHelpFailed));
  }
}

}  // namespace quillmark
