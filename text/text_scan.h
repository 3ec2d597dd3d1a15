#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillmark {

// The C locale's white space: space, \t, \n, \v, \f, \r.
bool IsCSpace(char c);

// The first position at or after pos that is not C white space.
std::size_t SkipCSpace(std::string_view text, std::size_t pos);

// Reads a count the way the dialog always has: leading white space, an
// optional sign, decimal digits up to the first non-digit, the rest
// ignored; no digits reads as 0. Empty when the number does not fit in 32
// bits, which callers treat as out of range.
std::optional<std::int32_t> ReadDecimalInt32(std::string_view text);

}  // namespace quillmark
