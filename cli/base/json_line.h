#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::cli {

// One JSON object on one line, for the JSON Lines that --json prints.
// Every string comes out as valid UTF-8: a byte that belongs to no
// well-formed UTF-8 sequence becomes U+FFFD, and quotes, backslashes and
// every control character (C0, DEL, C1, and U+2028/U+2029, which some
// readers take for line ends) are written as escapes, so a name from a
// folder, a manifest or a ledger can neither break the line nor drive the
// terminal that shows it. Numbers are plain integers.
class JsonLine {
 public:
  JsonLine& Add(std::string_view key, std::string_view text);
  JsonLine& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
  JsonLine& Add(std::string_view key, const std::string& text) {
    return Add(key, std::string_view(text));
  }
  JsonLine& Add(std::string_view key, std::int64_t number);
  JsonLine& Add(std::string_view key, std::int32_t number) {
    return Add(key, static_cast<std::int64_t>(number));
  }
  JsonLine& Add(std::string_view key, std::uint64_t number);
  JsonLine& Add(std::string_view key, bool value);
  // null when the text is empty: a pool, a manifest or a date not given.
  JsonLine& AddOrNull(std::string_view key, std::string_view text);
  JsonLine& AddOrNull(std::string_view key, std::optional<std::int64_t> number);
  JsonLine& AddNull(std::string_view key);
  JsonLine& Add(std::string_view key, const std::vector<std::string>& texts);
  // An array of objects, each given as the text of a JsonLine.
  JsonLine& Add(std::string_view key, const std::vector<JsonLine>& objects);

  // The object, without a line end.
  std::string Object() const { return "{" + m_members + "}"; }
  // The object and its line end.
  std::string Line() const { return Object() + "\n"; }

 private:
  JsonLine& AddRaw(std::string_view key, const std::string& json);

  std::string m_members;
};

// The text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

}  // namespace quillmark::cli
