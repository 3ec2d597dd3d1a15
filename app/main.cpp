#include "generator_app.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
  // Before anything opens a file: a closed standard descriptor would be
  // handed to that file, and Qt's warnings written into it.
  if (!quillmark::OpenClosedStandardStreams())
    return 1;
  quillmark::CGeneratorApp app(argc, argv);
  app.InitInstance();
  return app.ExitInstance();
}
