#pragma once

// The command-line suites run twice: as they stand, in the tool's own
// Chinese, and registered again with the suffix "_english" under
// LANG=en_US.UTF-8 and QUILLMARK_TEST_ENGLISH=1. In that second run every
// quillmark-cli a test starts must print no Chinese or full-width
// character, and a test that compares texts names both (`Said`).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "interface_text.h"

namespace quillmark::test {

inline bool EnglishTestMode() {
  return std::getenv("QUILLMARK_TEST_ENGLISH") != nullptr;
}

// The expectation in the language the tool speaks in this run: a test
// names both texts, so each run checks its own language byte for byte.
inline std::string Said(std::string_view chinese, std::string_view english) {
  return std::string(EnglishTestMode() ? english : chinese);
}

// The first line of text that holds a Chinese or full-width character, or
// empty when none does.
inline std::string FirstChineseLine(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (InterfaceText::HoldsChinese(line))
      return std::string(line);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return {};
}

}  // namespace quillmark::test
