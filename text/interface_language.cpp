#include "interface_language.h"

#include <atomic>
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

std::optional<LanguageChoice> ParseLanguageChoice(std::string_view name) {
  if (name == "zh")
    return LanguageChoice::Chinese;
  if (name == "en")
    return LanguageChoice::English;
  if (name == "auto")
    return LanguageChoice::Auto;
  return std::nullopt;
}

InterfaceLanguage InterfaceLanguageFrom(const EnvironmentLookup& environment,
                                        LanguageChoice configured) {
  LanguageChoice choice = LanguageChoice::Auto;
  if (const std::optional<std::string> variable = SetValue(environment, kLanguageVariable))
    choice = ParseLanguageChoice(*variable).value_or(LanguageChoice::Auto);
  if (choice == LanguageChoice::Auto)
    choice = configured;
  switch (choice) {
    case LanguageChoice::Chinese:
      return InterfaceLanguage::Chinese;
    case LanguageChoice::English:
      return InterfaceLanguage::English;
    case LanguageChoice::Auto:
      break;
  }
  return InterfaceLanguageFrom(environment);
}

std::optional<std::string> InvalidLanguageVariable(const EnvironmentLookup& environment) {
  std::optional<std::string> variable = SetValue(environment, kLanguageVariable);
  if (variable && ParseLanguageChoice(*variable))
    return std::nullopt;
  return variable;
}

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr)
    return std::nullopt;
  return std::string(value);
}

namespace {

// -1 until a front end chooses; read from any thread a run starts.
std::atomic<int> g_chosenLanguage{-1};

}  // namespace

InterfaceLanguage CurrentInterfaceLanguage() {
  if (const int chosen = g_chosenLanguage.load(std::memory_order_acquire); chosen >= 0)
    return static_cast<InterfaceLanguage>(chosen);
  // Windows reads the same variables; with none of them set it keeps
  // Chinese, as a Chinese station's tool always was, rather than follow
  // the language the system's own menus were installed in.
  static const InterfaceLanguage language =
      InterfaceLanguageFrom(&ProcessEnvironment, LanguageChoice::Auto);
  return language;
}

void ChooseInterfaceLanguage(LanguageChoice configured) {
  const InterfaceLanguage language = InterfaceLanguageFrom(&ProcessEnvironment, configured);
  g_chosenLanguage.store(static_cast<int>(language), std::memory_order_release);
#ifndef _WIN32
  // The modules the process opens (Windows builds none) each hold their
  // own copy of this library, and read the choice from the environment.
  setenv(kLanguageVariable, language == InterfaceLanguage::English ? "en" : "zh", 1);
#endif
}

}  // namespace quillmark
