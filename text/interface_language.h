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

// The process's language, read from its environment on first use and kept
// for the process's life, so a run never changes language halfway.
InterfaceLanguage CurrentInterfaceLanguage();

}  // namespace quillmark
