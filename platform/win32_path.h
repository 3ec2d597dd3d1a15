#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// UTF-8 for the Windows calls; empty for text that is not valid UTF-8,
// which no file name can match.
std::optional<std::wstring> ToWide(std::string_view utf8);
// What the system gives back, as UTF-8 (U+FFFD for a lone surrogate).
std::string ToUtf8(std::wstring_view wide);

// A UTF-8 path as the wide-character file calls take it. A path too long
// for the classic limit goes in its \\?\ form, which has none.
std::optional<std::wstring> ToWidePath(const std::string& path);

// The full path: relative paths joined to the current folder, both
// separators made backslashes, "." and ".." resolved.
std::optional<std::string> FullPath(const std::string& path);

// Opens a file or folder only to ask about it; others may go on using,
// moving or removing it meanwhile. INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenForQuery(const std::string& path);

}  // namespace quillmark
