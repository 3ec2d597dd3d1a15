#include "interface_language.h"

#include <cstdlib>

namespace quillmark {
namespace {

// "en", "en_GB", "en_GB.UTF-8@euro": the language is the part before
// the first '_', '.' or '@'.
std::string_view LanguagePart(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@"));
}

std::optional<InterfaceLanguage> LanguageNamed(std::string_view locale) {
  const std::string_view language = LanguagePart(locale);
  if (language == "en")
    return InterfaceLanguage::English;
  if (language == "zh")
    return InterfaceLanguage::Chinese;
  return std::nullopt;
}

std::optional<std::string> SetValue(const EnvironmentLookup& environment, const char* name) {
  std::optional<std::string> value = environment(name);
  if (value && value->empty())
    return std::nullopt;
  return value;
}

}  // namespace

InterfaceLanguage InterfaceLanguageFrom(const EnvironmentLookup& environment) {
  std::optional<std::string> locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if ((locale = SetValue(environment, name)))
      break;
  }
  // gettext passes LANGUAGE over in the C locale, whose texts are the
  // program's own; with nothing set the locale is C as well.
  if (!locale || *locale == "C" || *locale == "POSIX")
    return InterfaceLanguage::Chinese;
  if (const std::optional<std::string> list = SetValue(environment, "LANGUAGE")) {
    // gettext tries each entry and, finding no catalogue for any, shows
    // the program's own texts: the locale's language is not tried after.
    std::string_view rest = *list;
    while (!rest.empty()) {
      const std::size_t colon = rest.find(':');
      if (const auto language = LanguageNamed(rest.substr(0, colon)))
        return *language;
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return InterfaceLanguage::Chinese;
  }
  return LanguageNamed(*locale).value_or(InterfaceLanguage::Chinese);
}

InterfaceLanguage CurrentInterfaceLanguage() {
  // Windows reads the same variables; with none of them set it keeps
  // Chinese, as a Chinese station's tool always was, rather than follow
  // the language the system's own menus were installed in.
  static const InterfaceLanguage language =
      InterfaceLanguageFrom([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr)
          return std::nullopt;
        return std::string(value);
      });
  return language;
}

}  // namespace quillmark
