#include "utf8_text.h"

namespace quillmark::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the well-formed sequence starting at text[pos], or 0.
std::size_t SequenceLength(std::string_view text, std::size_t pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead < 0x80)
    return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // no overlong forms
    if (lead == 0xED)
      high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (pos + length > text.size() || at(1) < low || at(1) > high)
    return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(at(i)))
      return 0;
  }
  return length;
}

}  // namespace

std::string ToValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = SequenceLength(text, pos);
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
