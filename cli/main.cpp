// quillmark-cli: the dialog's batch for scripts and production lines.
#include "command_line.h"

int main(int argc, char** argv) {
  return quillmark::cli::RunCommandLine(argc, argv);
}
