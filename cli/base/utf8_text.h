#pragma once

#include <string>
#include <string_view>

namespace quillmark::cli {

// The text with every byte that does not belong to a well-formed UTF-8
// sequence replaced by U+FFFD, so a path with foreign bytes cannot make
// the tool's output invalid UTF-8 for the programs that read it.
std::string ToValidUtf8(std::string_view text);

}  // namespace quillmark::cli
