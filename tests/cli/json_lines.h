#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "scratch_dir.h"

namespace quillmark::test {

// One JSON object of an output: each member's value as compact JSON, as
// python3's json module writes it back ("3", "\"out\"", "null",
// "[\"04:57:55:00:00:00\"]"), in UTF-8 with control characters escaped.
using JsonObject = std::map<std::string, std::string>;

// Every line of the output read by python3's json module, strictly (see
// json_lines.py); a line that is not one well-formed object fails the
// test that asked.
inline std::vector<JsonObject> ParseJsonLines(const std::string& output) {
  ScratchDir dir;
  const std::string file = dir / "output.jsonl";
  std::FILE* stream = std::fopen(file.c_str(), "wb");
  EXPECT_NE(stream, nullptr);
  if (stream == nullptr)
    return {};
  std::fwrite(output.data(), 1, output.size(), stream);
  std::fclose(stream);
  const ChildResult parsed =
      RunChild({"python3", QUILLMARK_SOURCE_DIR "/tests/cli/json_lines.py", file});
  EXPECT_EQ(parsed.exitCode, 0) << parsed.err << "\nof:\n" << output;
  std::vector<JsonObject> objects(Lines(output).size());
  for (const std::string& line : Lines(parsed.out)) {
    const std::size_t tab = line.find('\t');
    const std::size_t second = line.find('\t', tab + 1);
    const std::size_t index = std::stoul(line.substr(0, tab));
    if (index < objects.size())
      objects[index][line.substr(tab + 1, second - tab - 1)] = line.substr(second + 1);
  }
  return objects;
}

// A JSON string's text as python3 writes it back.
inline std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace quillmark::test
