#include "text_scan.h"

#include <limits>

namespace quillmark {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t SkipCSpace(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsCSpace(text[pos]))
    ++pos;
  return pos;
}

std::optional<std::int32_t> ReadDecimalInt32(std::string_view text) {
  std::size_t pos = SkipCSpace(text, 0);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // The magnitude may reach 2^31 for the negative limit.
  const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + negative;
  std::int64_t magnitude = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > limit)
      return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace quillmark
