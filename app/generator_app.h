#pragma once

#include <QApplication>

#include "dialog_language.h"

namespace quillmark {

// The tool takes no command-line arguments: Qt is shown the program's
// name alone, so nothing typed after it can change the tool's behaviour.
// A base of its own, so it exists before the application it feeds.
class ProgramNameOnly {
 protected:
  explicit ProgramNameOnly(char* program);
  int m_argc = 1;
  char* m_argv[2] = {nullptr, nullptr};

 private:
  char m_fallbackName[16] = "Quillmark";
};

// The application object: runs the main dialog as the only window; the
// process ends when the dialog ends.
class CGeneratorApp : private ProgramNameOnly, public QApplication {
 public:
  CGeneratorApp(int argc, char** argv);

  // Runs the main dialog modally until it ends; always false, so nothing
  // else runs after it.
  bool InitInstance();
  // Writes nothing; the exit status is 1 when the language was refused,
  // else 0.
  int ExitInstance();

 private:
  DialogTranslations m_translations;
  int m_exitStatus = 0;
};

}  // namespace quillmark
