#include "generator_app.h"

#include <QSettings>

#include "app_icon.h"
#include "main_dialog.h"
#include "message_box.h"
#include "quillmark_version.h"

namespace quillmark {
namespace {

// The tool keeps no state between its runs, but Qt's own choosers keep
// theirs (recent folders, the last one visited) in the user's settings
// and open where they were last. Settings go below a file instead, where
// none can be read or created.
void KeepNoSettings() {
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
      QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
  }
}

}  // namespace

ProgramNameOnly::ProgramNameOnly(char* program) {
  m_argv[0] = program != nullptr ? program : m_fallbackName;
}

CGeneratorApp::CGeneratorApp(int argc, char** argv)
    : ProgramNameOnly(argc > 0 ? argv[0] : nullptr),
      QApplication(m_argc, m_argv),
      m_translations(*this) {
  KeepNoSettings();
  setApplicationName(ApplicationNameFor(applicationFilePath()));
  setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
  setWindowIcon(ApplicationIcon());
}

bool CGeneratorApp::InitInstance() {
  // A station set up to speak a language it cannot name is not run in a
  // language nobody chose.
  if (!m_translations.Refusal().empty()) {
    ShowMessage(nullptr, QString::fromStdString(m_translations.Refusal()), MessageStyle::Warning);
    m_exitStatus = 1;
    return false;
  }
  CMainDialog dialog;
  dialog.exec();
  return false;
}

int CGeneratorApp::ExitInstance() {
  return m_exitStatus;
}

}  // namespace quillmark
