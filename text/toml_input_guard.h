#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// What may reach the TOML parser. toml++ 3.3 reaches an unreachable branch
// (undefined behaviour) when it classifies some characters beyond ASCII
// where a key, a value or white space may stand, in multi-line strings,
// and while it reports an error on a line holding one. So a line with such
// a character must be one the parser reads without error: a comment, a
// table header, or `key = value` with the value a one-line string or a
// plain ASCII word, and at most a comment after either. A multi-line
// string, which no file of ours needs, is refused outright.
struct UnsafeTomlText {
  std::int64_t line = 0;  // from 1; 0 when the whole text is safe
  std::string_view what;  // why, in the process's language
};

UnsafeTomlText FindUnsafeTomlText(std::string_view text);

// The parser's refusal at a line of the text as the file's reader is told
// it: a key given twice is named as the file writes it, quotes aside ("the
// key type is given twice"); any other refusal is the parser's own words
// after "not valid TOML".
std::string TomlParseErrorText(std::string_view description, std::string_view text,
                               std::int64_t line);

}  // namespace quillmark
