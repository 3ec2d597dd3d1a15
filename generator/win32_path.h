#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// Text conversions for the Windows calls; empty for text that is not
// valid UTF-8 (or UTF-16), which no file name can match.
std::optional<std::wstring> ToWide(std::string_view utf8);
std::optional<std::string> ToUtf8(std::wstring_view wide);

// A UTF-8 path as the wide-character file calls take it. A path too long
// for the classic limit goes in its \\?\ form, which has none.
std::optional<std::wstring> ToWidePath(const std::string& path);

// The full path: relative paths joined to the current folder, both
// separators made backslashes, "." and ".." resolved.
std::optional<std::string> FullPath(const std::string& path);

}  // namespace quillmark
