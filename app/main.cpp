#include "generator_app.h"

int main(int argc, char** argv) {
  quillmark::CGeneratorApp app(argc, argv);
  app.InitInstance();
  return app.ExitInstance();
}
