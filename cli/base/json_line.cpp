#include "json_line.h"

#include <cstdio>

#include "utf8_text.h"

namespace quillmark::cli {
namespace {

void AppendEscape(std::string& out, unsigned code) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", code);
  out += escape;
}

}  // namespace

std::string JsonString(std::string_view text) {
  // Made well-formed first, so every byte from 0x80 on below belongs to
  // a whole sequence.
  const std::string valid = ToValidUtf8(text);
  std::string out = "\"";
  out.reserve(valid.size() + 2);
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const auto byte = static_cast<unsigned char>(valid[i]);
    const auto next = [&](std::size_t k) {
      return i + k < valid.size() ? static_cast<unsigned char>(valid[i + k]) : 0u;
    };
    switch (byte) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (byte < 0x20 || byte == 0x7f) {
      AppendEscape(out, byte);
    } else if (byte == 0xc2 && next(1) >= 0x80 && next(1) <= 0x9f) {  // C1
      AppendEscape(out, next(1));
      ++i;
    } else if (byte == 0xe2 && next(1) == 0x80 && (next(2) == 0xa8 || next(2) == 0xa9)) {
      AppendEscape(out, 0x2000 + (next(2) - 0xa8) + 0x28);  // U+2028, U+2029
      i += 2;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out + "\"";
}

JsonLine& JsonLine::AddRaw(std::string_view key, const std::string& json) {
  if (!m_members.empty())
    m_members += ",";
  m_members += JsonString(key) + ":" + json;
  return *this;
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view text) {
  return AddRaw(key, JsonString(text));
}

JsonLine& JsonLine::Add(std::string_view key, std::int64_t number) {
  return AddRaw(key, std::to_string(number));
}

JsonLine& JsonLine::Add(std::string_view key, std::uint64_t number) {
  return AddRaw(key, std::to_string(number));
}

JsonLine& JsonLine::Add(std::string_view key, bool value) {
  return AddRaw(key, value ? "true" : "false");
}

JsonLine& JsonLine::AddOrNull(std::string_view key, std::string_view text) {
  return text.empty() ? AddNull(key) : Add(key, text);
}

JsonLine& JsonLine::AddOrNull(std::string_view key, std::optional<std::int64_t> number) {
  return number ? Add(key, *number) : AddNull(key);
}

JsonLine& JsonLine::AddNull(std::string_view key) {
  return AddRaw(key, "null");
}

JsonLine& JsonLine::Add(std::string_view key, const std::vector<std::string>& texts) {
  std::string array = "[";
  for (const std::string& text : texts)
    array += (array.size() > 1 ? "," : "") + JsonString(text);
  return AddRaw(key, array + "]");
}

JsonLine& JsonLine::Add(std::string_view key, const std::vector<JsonLine>& objects) {
  std::string array = "[";
  for (const JsonLine& object : objects)
    array += (array.size() > 1 ? "," : "") + object.Object();
  return AddRaw(key, array + "]");
}

}  // namespace quillmark::cli
