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
    text += pattern[i];
  }
  return text;
}

}  // namespace quillmark
