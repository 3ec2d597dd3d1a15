// Every Chinese text in the tool's Qt-free sources is written as an
// InterfaceText pair, {"中文", "English"}, whose constructor refuses a
// missing English at compile time. A Chinese literal standing alone would
// reach English output untranslated; this finds it by reading the sources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "interface_text.h"

#ifndef QUILLMARK_SOURCE_DIR
#error "QUILLMARK_SOURCE_DIR must name the source tree"
#endif

namespace quillmark {
namespace {

// A string literal (adjacent ones joined) or one character of punctuation.
struct Token {
  bool literal = false;
  bool chinese = false;
  char punctuation = 0;
  int line = 0;
};

std::vector<Token> Tokens(const std::string& source) {
  std::vector<Token> tokens;
  int line = 1;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '\n') {
      ++line;
    } else if (source.compare(i, 2, "//") == 0) {
      i = source.find('\n', i) - 1;
    } else if (source.compare(i, 2, "/*") == 0) {
      const std::size_t end = std::min(source.find("*/", i), source.size());
      for (; i < end; ++i)
        line += source[i] == '\n';
      ++i;
    } else if (c == '"' || c == '\'') {
      std::size_t end = i + 1;
      while (end < source.size() && source[end] != c)
        end += source[end] == '\\' ? 2 : 1;
      const std::string_view body(source.data() + i + 1, end - i - 1);
      if (c == '"') {
        if (!tokens.empty() && tokens.back().literal)
          tokens.back().chinese = tokens.back().chinese || InterfaceText::HoldsChinese(body);
        else
          tokens.push_back({true, InterfaceText::HoldsChinese(body), 0, line});
      }
      i = end;
    } else if (std::string_view("{},;()+").find(c) != std::string_view::npos) {
      tokens.push_back({false, false, c, line});
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      tokens.push_back({false, false, '?', line});
    }
  }
  return tokens;
}

// The lines where a Chinese literal is not the first half of {"中文", "English"}.
std::vector<int> LonelyChineseLines(const std::string& source) {
  const std::vector<Token> t = Tokens(source);
  std::vector<int> lines;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (!t[i].literal || !t[i].chinese)
      continue;
    const bool paired = i > 0 && t[i - 1].punctuation == '{' && i + 3 < t.size() &&
                        t[i + 1].punctuation == ',' && t[i + 2].literal && !t[i + 2].chinese &&
                        t[i + 3].punctuation == '}';
    if (!paired)
      lines.push_back(t[i].line);
  }
  return lines;
}

TEST(InterfaceTextsTest, EveryChineseTextOfTheToolHasItsEnglish) {
  const std::filesystem::path root = QUILLMARK_SOURCE_DIR;
  int files = 0;
  for (const char* folder :
       {"generator", "text", "platform", "stamp", "outputs", "run", "verifier", "ledger", "labels",
        "modules", "cli", "config", "dialog", "windialog"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension != ".cpp" && extension != ".h" && extension != ".in")
        continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      ++files;
      for (const int line : LonelyChineseLines(text.str()))
        ADD_FAILURE() << entry.path().string() << ":" << line
                      << ": a Chinese text without its English; write it as "
                         "{\"中文\", \"English\"} and pick it with Pick or Fill";
    }
  }
  EXPECT_GT(files, 50);
}

TEST(InterfaceTextsTest, TheScanFindsALonelyChineseText) {
  EXPECT_EQ(LonelyChineseLines("// 注释\nPick({\"中文\", \"English\"});\n"), std::vector<int>{});
  EXPECT_EQ(LonelyChineseLines("a = {\"中文\" \"续\", \"English \" \"more\"};"),
            std::vector<int>{});
  EXPECT_EQ(LonelyChineseLines("x;\nreturn \"中文\" + path;"), std::vector<int>{2});
  EXPECT_EQ(LonelyChineseLines("Foo(\"中文\", \"English\");"), std::vector<int>{1});
  EXPECT_EQ(LonelyChineseLines("{\"中文\", \"中文\"}"), (std::vector<int>{1, 1}));
  EXPECT_EQ(LonelyChineseLines("/* \"中文\"\n */ c = '\"'; d = \"中\\\"文\";"),
            std::vector<int>{2});
}

}  // namespace
}  // namespace quillmark
