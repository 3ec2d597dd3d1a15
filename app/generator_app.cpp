#include "generator_app.h"

#include <QLibraryInfo>
#include <QLocale>

#include "app_icon.h"
#include "main_dialog.h"
#include "message_box.h"
#include "quillmark_version.h"

namespace quillmark {

ProgramNameOnly::ProgramNameOnly(char* program) {
  m_argv[0] = program != nullptr ? program : m_fallbackName;
}

CGeneratorApp::CGeneratorApp(int argc, char** argv)
    : ProgramNameOnly(argc > 0 ? argv[0] : nullptr), QApplication(m_argc, m_argv) {
  setApplicationName(ApplicationNameFor(applicationFilePath()));
  setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
  setWindowIcon(ApplicationIcon());
  // The tool speaks Chinese whatever the desktop's language, and so do
  // Qt's standard buttons and choosers.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  if (m_qtTranslator.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    installTranslator(&m_qtTranslator);
  }
}

bool CGeneratorApp::InitInstance() {
  CMainDialog dialog;
  dialog.exec();
  return false;
}

int CGeneratorApp::ExitInstance() {
  return 0;
}

}  // namespace quillmark
