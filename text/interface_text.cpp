#include "interface_text.h"

namespace quillmark {

std::string InterfaceText::FillIn(InterfaceLanguage language,
                                  std::initializer_list<std::string_view> values) const {
  const std::string_view pattern = In(language);
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const auto index = static_cast<std::size_t>(next - '1');
    if (pattern[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
      text += values.begin()[index];
      ++i;
      continue;
    }
    // "{1:file|files}": the word for the count given as the first value,
    // the first form for a count of one, the second for any other.
    if (pattern[i] == '{' && next >= '1' && next <= '9' && index < values.size() &&
        i + 2 < pattern.size() && pattern[i + 2] == ':') {
      const std::size_t bar = pattern.find('|', i);
      const std::size_t close = pattern.find('}', i);
      if (bar < close && close != std::string_view::npos) {
        text += values.begin()[index] == "1" ? pattern.substr(i + 3, bar - i - 3)
                                             : pattern.substr(bar + 1, close - bar - 1);
        i = close;
        continue;
      }
    }
    text += pattern[i];
  }
  return text;
}

}  // namespace quillmark
