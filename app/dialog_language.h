#pragma once

#include <QApplication>
#include <QTranslator>
#include <string>

#include "interface_language.h"
#include "interface_text.h"

namespace quillmark {

// The language the dialog speaks, chosen once (QUILLMARK_LANGUAGE, the
// station configuration's language key, the locale), when the
// application starts: its texts, Qt's own buttons and choosers, the help
// page and the layout all follow the same choice. Chinese until then.
InterfaceLanguage DialogLanguage();
// One of the dialog's texts (dialog_texts.h) in the dialog's language.
QString DialogText(const InterfaceText& text);

// Chooses the language and installs what it needs: for
// English, the dialog's catalogue built into the program; for Chinese,
// the source texts as they stand and Qt's Chinese catalogue. A catalogue
// that cannot be loaded leaves its texts untranslated.
class DialogTranslations {
 public:
  explicit DialogTranslations(QApplication& app);

  // The refusal of a QUILLMARK_LANGUAGE naming no language, or "".
  const std::string& Refusal() const { return m_refusal; }

 private:
  std::string m_refusal;
  QTranslator m_appTranslator;
  QTranslator m_qtTranslator;
};

}  // namespace quillmark
