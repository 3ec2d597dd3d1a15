#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// The text as it may be shown on a terminal or in a listing: every control
// character (C0, DEL and the C1 range as UTF-8) and every invisible format
// character (bidirectional overrides, zero-width ones, the line and
// paragraph separators) becomes "\x1b"-style escapes of its bytes, so data
// read from a manifest, a ledger or a folder name cannot inject a line,
// drive the terminal that shows it or show itself reordered. Everything
// else is kept as is.
std::string EscapeControlCharacters(std::string_view text);

// Whether the text holds any character EscapeControlCharacters would escape.
bool HasControlCharacters(std::string_view text);

// Whether valid UTF-8 text is empty or only white space (a no-break space,
// an ideographic space and the other Unicode spaces included).
bool IsBlank(std::string_view text);

// An argument as a POSIX shell reads it back: quoted unless it is plain,
// so a command a line suggests can be pasted as it stands.
std::string ShellWord(std::string_view text);
// The length of the well-formed UTF-8 sequence at text[pos], or 0 when the
// byte there starts none (overlong forms and surrogates included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);
bool IsValidUtf8(std::string_view text);
// The text with every byte outside a well-formed UTF-8 sequence shown as a
// "\xff"-style escape, so a refusal names the bytes it refused.
std::string EscapeInvalidUtf8(std::string_view text);

}  // namespace quillmark
