#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// The dialog model speaks UTF-8; the wide calls take UTF-16.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace quillmark
