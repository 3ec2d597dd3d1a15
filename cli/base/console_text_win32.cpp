#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "console_text.h"
#include "utf8_text.h"
#include "win32_path.h"

namespace quillmark::cli {
namespace {

// The console under a stream, or null when it goes to a file or a pipe (a
// console is what GetConsoleMode accepts; the C runtime's isatty is also
// true for NUL).
HANDLE ConsoleOf(std::FILE* stream) {
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode))
    return nullptr;
  return handle;
}

bool WriteToConsole(HANDLE console, const std::wstring& text) {
  // Large writes may fail on older consoles: in pieces.
  constexpr std::size_t kPiece = 8192;
  for (std::size_t at = 0; at < text.size();) {
    const DWORD size = static_cast<DWORD>(std::min(kPiece, text.size() - at));
    DWORD written = 0;
    if (!::WriteConsoleW(console, text.data() + at, size, &written, nullptr) || written == 0)
      return false;
    at += written;
  }
  return true;
}

}  // namespace

void PrepareStandardStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

bool WriteText(std::FILE* stream, std::string_view text) {
  const std::string valid = ToValidUtf8(text);
  if (const HANDLE console = ConsoleOf(stream)) {
    // What the C runtime still holds goes first, in order.
    std::fflush(stream);
    return WriteToConsole(console, ToWide(valid).value_or(std::wstring()));
  }
  const bool written = std::fwrite(valid.data(), 1, valid.size(), stream) == valid.size();
  return std::fflush(stream) == 0 && written;
}

bool StandardOutputWriteFailed() {
  // Written through the C runtime (or the console, whose failures the
  // caller sees), so ferror(stdout) holds every failure.
  return false;
}

bool StandardOutputIsConsole() {
  const HANDLE console = ConsoleOf(stdout);
  DWORD mode = 0;
  if (console == nullptr || !::GetConsoleMode(console, &mode))
    return false;
  // The progress line moves back with "\r" and clears the rest of the line
  // with an escape sequence, which a console takes only in this mode.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace quillmark::cli
