#include "toml_input_guard.h"

#include <algorithm>
#include <cctype>

#include "interface_text.h"

namespace quillmark {
namespace {

bool IsBareKeyCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
}

bool IsWordCharacter(char c) {
  return IsBareKeyCharacter(c) || c == '.' || c == ':' || c == '+';
}

// A reading position in one line (without its end).
class LineReader {
 public:
  explicit LineReader(std::string_view line) : m_line(line) {}

  void SkipBlanks() {
    while (m_at < m_line.size() &&
           (m_line[m_at] == ' ' || m_line[m_at] == '\t' || m_line[m_at] == '\r'))
      ++m_at;
  }
  bool Take(char c) {
    if (m_at == m_line.size() || m_line[m_at] != c)
      return false;
    ++m_at;
    return true;
  }
  // Whether at least one character of the kind was taken.
  template <typename Kind>
  bool TakeRun(Kind kind) {
    const std::size_t start = m_at;
    while (m_at < m_line.size() && kind(m_line[m_at]))
      ++m_at;
    return m_at != start;
  }
  // A one-line string from its opening quote to its closing one; a
  // backslash in a basic string escapes the next character, a quote
  // included.
  bool TakeString() {
    if (m_at == m_line.size() || (m_line[m_at] != '"' && m_line[m_at] != '\''))
      return false;
    const char quote = m_line[m_at++];
    for (; m_at < m_line.size(); ++m_at) {
      if (quote == '"' && m_line[m_at] == '\\') {
        if (++m_at == m_line.size())  // an escape that ends the line: not closed
          return false;
        continue;
      }
      if (m_line[m_at] == quote) {
        ++m_at;
        return true;
      }
    }
    return false;
  }
  // Blanks, then the end of the line or a comment.
  bool AtEnd() {
    SkipBlanks();
    return m_at >= m_line.size() || m_line[m_at] == '#';
  }

 private:
  std::string_view m_line;
  std::size_t m_at = 0;
};

// `[name]` or `[[name]]`, the name of bare-key characters and dots.
bool TakeTableHeader(LineReader& reader) {
  if (!reader.Take('['))
    return false;
  const bool array = reader.Take('[');
  reader.SkipBlanks();
  if (!reader.TakeRun([](char c) { return IsBareKeyCharacter(c) || c == '.'; }))
    return false;
  reader.SkipBlanks();
  return reader.Take(']') && (!array || reader.Take(']'));
}

bool TakeKeyValue(LineReader& reader) {
  if (!reader.TakeRun(IsBareKeyCharacter))
    return false;
  reader.SkipBlanks();
  if (!reader.Take('='))
    return false;
  reader.SkipBlanks();
  return reader.TakeString() || reader.TakeRun(IsWordCharacter);
}

// Whether the line is blank, a comment, a table header or one
// `key = value` whose value is a one-line string or an ASCII word.
bool IsPlainLine(std::string_view line) {
  LineReader reader(line);
  if (reader.AtEnd())
    return true;
  LineReader header = reader;
  if (TakeTableHeader(header))
    return header.AtEnd();
  return TakeKeyValue(reader) && reader.AtEnd();
}

}  // namespace

UnsafeTomlText FindUnsafeTomlText(std::string_view text) {
  std::int64_t number = 1;
  for (std::size_t start = 0; start <= text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (line.find("\"\"\"") != std::string_view::npos ||
        line.find("\'\'\'") != std::string_view::npos)
      return {number, Pick({"不接受多行字符串", "multi-line strings are not accepted"})};
    const bool beyondAscii = std::any_of(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (beyondAscii && !IsPlainLine(line))
      return {number, Pick({"注释和字符串之外只能使用ASCII字符",
                            "outside comments and strings only ASCII characters may be used"})};
    start = end + 1;
  }
  return {};
}

namespace {

// Line n (from 1) of the text, without its end.
std::string_view LineAt(std::string_view text, std::int64_t n) {
  std::size_t begin = 0;
  for (std::int64_t i = 1; i < n && begin != std::string_view::npos; ++i) {
    begin = text.find('\n', begin);
    if (begin != std::string_view::npos)
      ++begin;
  }
  if (begin == std::string_view::npos || begin > text.size())
    return {};
  const std::size_t end = text.find('\n', begin);
  return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// The key a line defines as the file spells it: a table header's name, or
// what stands before "=", one pair of quotes around it aside.
std::string KeyOf(std::string_view line) {
  std::string_view key = Trimmed(line);
  if (!key.empty() && key.front() == '[') {
    // "[" alone, or "[[" with nothing after, names no key.
    const std::size_t open = key.find_first_not_of('[');
    if (open == std::string_view::npos)
      return {};
    const std::size_t close = key.find(']', open);
    key = Trimmed(key.substr(open, close == std::string_view::npos ? close : close - open));
  } else {
    key = Trimmed(key.substr(0, key.find('=')));
  }
  if (key.size() >= 2 && (key.front() == '"' || key.front() == '\'') && key.back() == key.front() &&
      key.substr(1, key.size() - 2).find(key.front()) == std::string_view::npos)
    key = key.substr(1, key.size() - 2);
  return std::string(key);
}

}  // namespace

std::string TomlParseErrorText(std::string_view description, std::string_view text,
                               std::int64_t line) {
  // The parser's own words name a quoted key wrongly ("'\"cocount\" '"), so
  // the key is read from the line it reports.
  if (description.find("cannot redefine existing ") != std::string_view::npos) {
    if (const std::string key = KeyOf(LineAt(text, line)); !key.empty())
      return Fill({"键 %1 重复", "the key %1 is given twice"}, {key});
  }
  return Fill({"不是有效的TOML：%1", "not valid TOML: %1"}, {std::string(description)});
}

}  // namespace quillmark
