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

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

struct CodeRange {
  char32_t first;
  char32_t last;
};

// The invisible format characters (Unicode category Cf), which reorder or
// hide what a terminal or a page shows: U+202E prints a range backwards,
// U+200B makes two names look alike. The line and paragraph separators go
// with them, as they break a line where a listing shows one.
constexpr CodeRange kFormatCharacters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

// Unicode's white space beyond the control characters.
constexpr CodeRange kSpaces[] = {
    {0x0020, 0x0020}, {0x00A0, 0x00A0}, {0x1680, 0x1680}, {0x2000, 0x200A},
    {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

template <std::size_t N>
bool InRanges(const CodeRange (&ranges)[N], char32_t c) {
  for (const CodeRange& range : ranges)
    if (c >= range.first && c <= range.last)
      return true;
  return false;
}

// The character of the well-formed sequence of the given length at pos.
char32_t CodePointAt(std::string_view text, std::size_t pos, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i)
    c = (c << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  return c;
}

// The length of the format character starting at pos, or 0.
std::size_t FormatCharacterAt(std::string_view text, std::size_t pos) {
  if (static_cast<unsigned char>(text[pos]) < 0xC2)
    return 0;
  const std::size_t length = Utf8SequenceLength(text, pos);
  return length != 0 && InRanges(kFormatCharacters, CodePointAt(text, pos, length)) ? length : 0;
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
    } else if (const std::size_t length = FormatCharacterAt(text, i); length != 0) {
      for (std::size_t k = 0; k < length; ++k)
        AppendEscape(out, static_cast<std::uint8_t>(text[i + k]));
      i += length - 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool HasControlCharacters(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (IsC0OrDelete(static_cast<std::uint8_t>(text[i])) || IsC1At(text, i) ||
        FormatCharacterAt(text, i) != 0)
      return true;
  return false;
}

bool IsBlank(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0)
      return false;
    const char32_t c = CodePointAt(text, pos, length);
    if (!InRanges(kSpaces, c) && !(c >= 0x09 && c <= 0x0D) && c != 0x85)
      return false;
    pos += length;
  }
  return true;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // no overlong forms
    if (lead == 0xED)
      high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (pos + length > text.size() || at(1) < low || at(1) > high)
    return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(at(i)))
      return 0;
  }
  return length;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0)
      return false;
    pos += length;
  }
  return true;
}

std::string EscapeInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      AppendEscape(out, static_cast<std::uint8_t>(text[pos]));
      ++pos;
    } else {
      out.append(text.substr(pos, length));
      pos += length;
    }
  }
  return out;
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
