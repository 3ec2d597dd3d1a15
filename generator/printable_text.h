#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// The text as it may be shown on a terminal or in a listing: every control
// character (C0, DEL and the C1 range as UTF-8) becomes a "\x1b"-style escape,
// so data read from a manifest, a ledger or a folder name cannot inject a
// line or drive the terminal that shows it. Everything else is kept as is.
std::string EscapeControlCharacters(std::string_view text);

// Whether the text holds any character EscapeControlCharacters would escape.
bool HasControlCharacters(std::string_view text);

// An argument as a POSIX shell reads it back: quoted unless it is plain,
// so a command a line suggests can be pasted as it stands.
std::string ShellWord(std::string_view text);

}  // namespace quillmark
