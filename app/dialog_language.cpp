#include "dialog_language.h"

#include <QLibraryInfo>
#include <QLocale>

#include "station_config.h"

// The catalogues are built into the program. Named here, since a linker
// taking the dialog from a static library (as the tests do) would leave
// out a resource nothing names. Outside any namespace, as Qt requires.
static void InitTranslationResources() {
  Q_INIT_RESOURCE(quillmark_app_objects_translations);
}

namespace quillmark {
namespace {

InterfaceLanguage g_dialogLanguage = InterfaceLanguage::Chinese;

}  // namespace

InterfaceLanguage DialogLanguage() {
  return g_dialogLanguage;
}

QString DialogText(const InterfaceText& text) {
  const std::string_view shown = text.In(g_dialogLanguage);
  return QString::fromUtf8(shown.data(), qsizetype(shown.size()));
}

DialogTranslations::DialogTranslations(QApplication& app) {
  InitTranslationResources();
  m_refusal = ChooseStationLanguage();
  g_dialogLanguage = CurrentInterfaceLanguage();
  if (g_dialogLanguage == InterfaceLanguage::English) {
    // Qt's own texts are English already; only the dialog's need a
    // catalogue.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (m_appTranslator.load(QStringLiteral(":/i18n/quillmark_en.qm")))
      app.installTranslator(&m_appTranslator);
    return;
  }
  // Chinese whatever the desktop's language, and so are Qt's standard
  // buttons and choosers.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  if (m_qtTranslator.load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&m_qtTranslator);
  }
}

}  // namespace quillmark
