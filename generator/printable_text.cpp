#include "printable_text.h"

#include <cctype>
#include <cstdint>

namespace quillmark {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendEscape(std::string& out, std::uint8_t byte) {
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

bool IsC0OrDelete(std::uint8_t byte) {
  return byte < 0x20 || byte == 0x7F;
}

// U+0080..U+009F are encoded as C2 80 .. C2 9F; a terminal may read U+009B
// as the start of a control sequence just as it reads ESC [.
bool IsC1At(std::string_view text, std::size_t i) {
  return static_cast<std::uint8_t>(text[i]) == 0xC2 && i + 1 < text.size() &&
         static_cast<std::uint8_t>(text[i + 1]) >= 0x80 &&
         static_cast<std::uint8_t>(text[i + 1]) <= 0x9F;
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (IsC0OrDelete(byte)) {
      AppendEscape(out, byte);
    } else if (IsC1At(text, i)) {
      AppendEscape(out, byte);
      AppendEscape(out, static_cast<std::uint8_t>(text[i + 1]));
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool HasControlCharacters(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (IsC0OrDelete(static_cast<std::uint8_t>(text[i])) || IsC1At(text, i))
      return true;
  return false;
}

}  // namespace quillmark

namespace quillmark {

std::string ShellWord(std::string_view text) {
  bool plain = !text.empty();
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (!(std::isalnum(byte) || std::string_view("_./:=@%+-,").find(c) != std::string_view::npos))
      plain = false;
  }
  if (plain)
    return std::string(text);
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace quillmark
