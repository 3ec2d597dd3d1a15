#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "interface_language.h"

namespace quillmark {

// Called only where a text's two languages do not agree; being no
// constexpr function, it stops the compile and names the fault.
void EnglishTextIsMissing();
void EnglishTextHoldsChineseCharacters();
void TranslationDoesNotUseTheSamePlaceholders();

// A text the tools show, in each language they speak, written where the
// text is defined: {"运行结束", "Run finished"}. The constructor runs at
// compile time, so a text without its English, English with Chinese or
// full-width characters left in it, or a translation that leaves out or
// adds one of the values "%1" … "%9" does not compile. A value goes where
// each language's word order puts it; numbers are given as plain decimals.
class InterfaceText {
 public:
  consteval InterfaceText(std::string_view chinese, std::string_view english)
      : m_chinese(chinese), m_english(english) {
    if (english.empty())
      EnglishTextIsMissing();
    if (HoldsChinese(english))
      EnglishTextHoldsChineseCharacters();
    if (Placeholders(chinese) != Placeholders(english))
      TranslationDoesNotUseTheSamePlaceholders();
  }

  constexpr std::string_view In(InterfaceLanguage language) const {
    return language == InterfaceLanguage::English ? m_english : m_chinese;
  }
  // The text in the process's language.
  std::string_view Shown() const { return In(CurrentInterfaceLanguage()); }
  operator std::string_view() const { return Shown(); }
  // Both texts are literals, so each ends in its zero.
  const char* data() const { return Shown().data(); }
  friend bool operator==(const InterfaceText& text, std::string_view shown) {
    return text.Shown() == shown;
  }

  // The text with "%N" replaced by the Nth value, and "{N:one|other}" by
  // the word for the Nth value's count ("%1 {1:file|files}").
  std::string FillIn(InterfaceLanguage language,
                     std::initializer_list<std::string_view> values) const;
  std::string Fill(std::initializer_list<std::string_view> values) const {
    return FillIn(CurrentInterfaceLanguage(), values);
  }

  // Characters U+2E80–U+9FFF (CJK) and U+FF00–U+FFEF (full-width forms),
  // which English text must not hold.
  static constexpr bool HoldsChinese(std::string_view utf8) {
    for (std::size_t i = 0; i + 2 < utf8.size(); ++i) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      const auto second = static_cast<unsigned char>(utf8[i + 1]);
      const auto third = static_cast<unsigned char>(utf8[i + 2]);
      if ((lead & 0xF0) != 0xE0 || (second & 0xC0) != 0x80 || (third & 0xC0) != 0x80)
        continue;
      const unsigned point = (lead & 0x0Fu) << 12 | (second & 0x3Fu) << 6 | (third & 0x3Fu);
      if ((point >= 0x2E80 && point <= 0x9FFF) || (point >= 0xFF00 && point <= 0xFFEF))
        return true;
    }
    return false;
  }

 private:
  // A bit for each of "%1" … "%9" the text uses.
  static constexpr unsigned Placeholders(std::string_view text) {
    unsigned used = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
        used |= 1u << (text[i + 1] - '0');
    }
    return used;
  }

  std::string_view m_chinese;
  std::string_view m_english;
};

// The text in the process's language: Pick({"运行结束", "Run finished"}).
inline std::string_view Pick(const InterfaceText& text) {
  return text.Shown();
}
// The same with its values: Fill({"已写入 %1", "%1 written"}, {count}).
inline std::string Fill(const InterfaceText& text, std::initializer_list<std::string_view> values) {
  return text.Fill(values);
}

}  // namespace quillmark
