#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// The language of every text the tools show. Chinese is the tool's own
// language: it is what a station with no locale, "C" or a language the
// tool does not have gets, exactly as before English existed.
enum class InterfaceLanguage { Chinese, English };

// An environment variable's value, or nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The language the environment asks for, read as gettext reads it: the
// message locale is the first set of LC_ALL, LC_MESSAGES and LANG (an
// empty value counts as unset); when that locale is other than "C" or
// "POSIX", the colon list LANGUAGE comes first. The first entry naming
// "en" gives English and "zh" Chinese; entries naming another language
// are passed over; nothing that names either gives Chinese.
InterfaceLanguage InterfaceLanguageFrom(const EnvironmentLookup& environment);

// A language asked for by name, in the station configuration's language
// key or QUILLMARK_LANGUAGE: "zh", "en", or "auto" for the locale's rule.
enum class LanguageChoice { Auto, Chinese, English };

// The choice a name asks for; nothing for any other text.
std::optional<LanguageChoice> ParseLanguageChoice(std::string_view name);

// The variable that chooses the language over the configuration and the
// locale.
inline constexpr const char* kLanguageVariable = "QUILLMARK_LANGUAGE";

// The whole rule: QUILLMARK_LANGUAGE when set to "zh" or "en", else the
// configuration's choice when "zh" or "en", else the locale's rule above.
// A QUILLMARK_LANGUAGE that names no choice is passed over here; the front
// ends refuse it (LanguageVariableValue).
InterfaceLanguage InterfaceLanguageFrom(const EnvironmentLookup& environment,
                                        LanguageChoice configured);

// QUILLMARK_LANGUAGE's value when it is set (an empty value counts as
// unset) and names no choice, for a front end's refusal; else nothing.
std::optional<std::string> InvalidLanguageVariable(const EnvironmentLookup& environment);

// The process's environment, as EnvironmentLookup reads it.
std::optional<std::string> ProcessEnvironment(const char* name);

// The process's language: the environment's (QUILLMARK_LANGUAGE, else the
// locale) until a front end chooses it with the configuration's choice,
// which it does once, before it shows any text, so a run never changes
// language halfway.
InterfaceLanguage CurrentInterfaceLanguage();
void ChooseInterfaceLanguage(LanguageChoice configured);

}  // namespace quillmark
