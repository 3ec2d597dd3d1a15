#include <unistd.h>

#include "console_text.h"
#include "utf8_text.h"

namespace quillmark::cli {

void PrepareStandardStreams() {}

bool WriteText(std::FILE* stream, std::string_view text) {
  const std::string valid = ToValidUtf8(text);
  const bool written = std::fwrite(valid.data(), 1, valid.size(), stream) == valid.size();
  return std::fflush(stream) == 0 && written;
}

bool StandardOutputIsConsole() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace quillmark::cli
