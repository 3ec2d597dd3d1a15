#include "utf8_text.h"

#include "printable_text.h"

namespace quillmark::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string ToValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      valid += kReplacement;
      ++pos;
    } else {
      valid.append(text.substr(pos, length));
      pos += length;
    }
  }
  return valid;
}

}  // namespace quillmark::cli
