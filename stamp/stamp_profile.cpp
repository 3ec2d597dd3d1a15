#include "stamp_profile.h"

#include <cstdio>
#include <set>

#include "interface_text.h"
#include "printable_text.h"
#include "toml_input_guard.h"

#if QUILLMARK_HAVE_TOML
#define TOML_EXCEPTIONS 0
#define TOML_HEADER_ONLY 1
#include <toml++/toml.h>
#endif

namespace quillmark {

const char* FieldTypeName(FieldType type) {
  return type == FieldType::Mac ? "mac" : "mac-text";
}

const char* ChecksumTypeName(ChecksumType type) {
  switch (type) {
    case ChecksumType::Crc32:
      return "crc32";
    case ChecksumType::Xor16:
      return "xor16";
    case ChecksumType::Sum16:
      return "sum16";
  }
  return "";
}

std::uint64_t StampField::Size() const {
  if (type == FieldType::Mac)
    return 6;
  return separator.empty() ? 12 : 17;
}

#if QUILLMARK_HAVE_TOML

bool StampProfilesSupported() {
  return true;
}

namespace {

std::string Refusal(const std::string& name, std::int64_t line, const std::string& what) {
  // Keys, types and the parser's words come from the file: one line whatever they hold.
  return EscapeControlCharacters(
      Fill({"配置文件错误！%1 第%2行：%3", "Cannot use the stamp profile: %1 line %2: %3"},
           {name, std::to_string(line), what}));
}

std::string UnknownKeyText(std::string_view key) {
  return Fill({"未知的键 %1", "unknown key %1"}, {key});
}

std::string MissingKeyText(std::string_view key) {
  return Fill({"缺少键 %1", "missing key %1"}, {key});
}

std::int64_t LineOf(const toml::node& node) {
  return static_cast<std::int64_t>(node.source().begin.line);
}

// Reads one table's keys into a field or a checksum; returns the refusal.
class TableReader {
 public:
  TableReader(const toml::table& table, const std::string& name) : m_table(table), m_name(name) {}

  std::string Unknown(const std::set<std::string>& allowed) const {
    for (const auto& [key, node] : m_table) {
      if (!allowed.count(std::string(key.str())))
        return Refusal(m_name, LineOf(node), UnknownKeyText(key.str()));
    }
    return {};
  }
  bool Has(const char* key) const { return m_table.contains(key); }
  std::int64_t Line(const char* key) const {
    const toml::node* node = m_table.get(key);
    return node ? LineOf(*node) : LineOf(m_table);
  }
  std::string Text(const char* key, std::string& value) const {
    const toml::node* node = m_table.get(key);
    if (!node)
      return Refusal(m_name, LineOf(m_table), MissingKeyText(key));
    if (!node->is_string())
      return Refusal(m_name, LineOf(*node), Fill({"%1 应是字符串", "%1 must be a string"}, {key}));
    value = node->as_string()->get();
    return {};
  }
  // A whole number from low to high, and the refusal names that range.
  std::string Number(const char* key, std::uint64_t& value, std::uint64_t low,
                     std::uint64_t high) const {
    const toml::node* node = m_table.get(key);
    if (!node)
      return Refusal(m_name, LineOf(m_table), MissingKeyText(key));
    if (!node->is_integer() || node->as_integer()->get() < 0 ||
        static_cast<std::uint64_t>(node->as_integer()->get()) < low ||
        static_cast<std::uint64_t>(node->as_integer()->get()) > high)
      return Refusal(m_name, LineOf(*node),
                     Fill({"%1 应是%2至%3的整数", "%1 must be a whole number from %2 to %3"},
                          {key, std::to_string(low), std::to_string(high)}));
    value = static_cast<std::uint64_t>(node->as_integer()->get());
    return {};
  }
  std::string Flag(const char* key, bool& value) const {
    const toml::node* node = m_table.get(key);
    if (!node)
      return {};
    if (!node->is_boolean())
      return Refusal(m_name, LineOf(*node),
                     Fill({"%1 应是 true 或 false", "%1 must be true or false"}, {key}));
    value = node->as_boolean()->get();
    return {};
  }

 private:
  const toml::table& m_table;
  const std::string& m_name;
};

// Offsets far past any image are refused here, so sums of them never wrap.
constexpr std::uint64_t kOffsetLimit = std::uint64_t{1} << 40;

[[nodiscard]] std::string ReadExpect(const TableReader& reader, const std::string& name,
                                     StampField& field) {
  if (!reader.Has("expect"))
    return {};
  std::string expect;
  if (std::string error = reader.Text("expect", expect); !error.empty())
    return error;
  const bool mac = field.type == FieldType::Mac;
  if (expect == (mac ? "address" : "text"))
    field.expect = FieldExpect::Form;
  else if (mac && expect == "blank")
    field.expect = FieldExpect::Blank;
  else if (expect == "any")
    field.expect = FieldExpect::Any;
  else
    return Refusal(
        name, reader.Line("expect"),
        mac ? std::string(Pick({"mac 字段的 expect 应是 \"address\"、\"blank\" 或 \"any\"",
                                "expect of a mac field must be \"address\", \"blank\" "
                                "or \"any\""}))
            : std::string(Pick({"mac-text 字段的 expect 应是 \"text\" 或 \"any\"",
                                "expect of a mac-text field must be \"text\" or "
                                "\"any\""})));
  return {};
}

[[nodiscard]] std::string ReadField(const toml::table& table, const std::string& name,
                                    StampField& field) {
  const TableReader reader(table, name);
  field.line = LineOf(table);
  std::string type;
  if (std::string error = reader.Text("type", type); !error.empty())
    return error;
  if (type == "mac") {
    field.type = FieldType::Mac;
    if (std::string error = reader.Unknown({"type", "offset", "from_end", "address", "expect"});
        !error.empty())
      return error;
  } else if (type == "mac-text") {
    field.type = FieldType::MacText;
    if (std::string error = reader.Unknown(
            {"type", "offset", "from_end", "address", "separator", "uppercase", "expect"});
        !error.empty())
      return error;
  } else {
    return Refusal(name, reader.Line("type"),
                   Fill({"未知的字段类型 %1", "unknown field type %1"}, {type}));
  }
  if (reader.Has("offset") == reader.Has("from_end"))
    return Refusal(name, field.line,
                   std::string(Pick({"offset 与 from_end 须有且只有一个",
                                     "give exactly one of offset and from_end"})));
  field.fromEnd = reader.Has("from_end");
  if (std::string error = reader.Number(field.fromEnd ? "from_end" : "offset", field.offset,
                                        field.fromEnd ? 1 : 0, kOffsetLimit);
      !error.empty())
    return error;
  std::uint64_t address = 0;
  if (std::string error = reader.Number("address", address, 1, 4); !error.empty())
    return error;
  field.address = static_cast<std::int64_t>(address);
  if (field.type == FieldType::MacText) {
    if (reader.Has("separator")) {
      if (std::string error = reader.Text("separator", field.separator); !error.empty())
        return error;
      if (field.separator != ":" && field.separator != "-" && !field.separator.empty())
        return Refusal(name, reader.Line("separator"),
                       std::string(Pick({"separator 应是 \":\"、\"-\" 或 \"\"",
                                         "separator must be \":\", \"-\" or \"\""})));
    }
    if (std::string error = reader.Flag("uppercase", field.uppercase); !error.empty())
      return error;
  }
  return ReadExpect(reader, name, field);
}

[[nodiscard]] std::string ReadChecksum(const toml::table& table, const std::string& name,
                                       StampChecksum& checksum) {
  const TableReader reader(table, name);
  checksum.line = LineOf(table);
  std::string type;
  if (std::string error = reader.Text("type", type); !error.empty())
    return error;
  if (type == "crc32")
    checksum.type = ChecksumType::Crc32;
  else if (type == "xor16")
    checksum.type = ChecksumType::Xor16;
  else if (type == "sum16")
    checksum.type = ChecksumType::Sum16;
  else
    return Refusal(name, reader.Line("type"),
                   Fill({"未知的校验和类型 %1", "unknown checksum type %1"}, {type}));
  const bool sum = checksum.type == ChecksumType::Sum16;
  if (std::string error = sum ? reader.Unknown({"type", "offset", "start", "end", "total"})
                              : reader.Unknown({"type", "offset", "start", "end"});
      !error.empty())
    return error;
  for (const auto& [key, value] :
       {std::pair{"offset", &checksum.offset}, std::pair{"start", &checksum.start},
        std::pair{"end", &checksum.end}}) {
    if (std::string error = reader.Number(key, *value, 0, kOffsetLimit); !error.empty())
      return error;
  }
  if (sum) {
    std::uint64_t total = 0;
    if (std::string error = reader.Number("total", total, 0, 0xFFFF); !error.empty())
      return error;
    checksum.total = static_cast<std::uint16_t>(total);
  }
  return {};
}

}  // namespace

StampProfileResult ReadStampProfile(const std::string& text, const std::string& name) {
  // Characters the parser mishandles are refused before it sees them.
  if (const UnsafeTomlText unsafe = FindUnsafeTomlText(text); unsafe.line != 0)
    return {std::nullopt, Refusal(name, unsafe.line, std::string(unsafe.what))};
  toml::parse_result parsed = toml::parse(std::string_view(text));
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return {std::nullopt,
            Refusal(name, static_cast<std::int64_t>(error.source().begin.line),
                    TomlParseErrorText(error.description(), text,
                                       static_cast<std::int64_t>(error.source().begin.line)))};
  }
  const toml::table& root = parsed.table();
  StampProfile profile;
  for (const auto& [key, node] : root) {
    const std::string keyText(key.str());
    const bool isField = keyText == "field";
    if (!isField && keyText != "checksum")
      return {std::nullopt, Refusal(name, LineOf(node), UnknownKeyText(keyText))};
    if (!node.is_array_of_tables())
      return {std::nullopt, Refusal(name, LineOf(node),
                                    Fill({"%1 应写作 [[%1]]", "write %1 as [[%1]]"}, {keyText}))};
    for (const toml::node& entry : *node.as_array()) {
      const toml::table& table = *entry.as_table();
      std::string error;
      if (isField)
        error = ReadField(table, name, profile.fields.emplace_back());
      else
        error = ReadChecksum(table, name, profile.checksums.emplace_back());
      if (!error.empty())
        return {std::nullopt, error};
    }
  }
  if (profile.fields.empty())
    return {std::nullopt,
            Refusal(name, 1,
                    std::string(Pick({"没有 [[field]]：设备的映像将不带任何MAC地址",
                                      "no [[field]]: the devices' images would carry no MAC "
                                      "address"})))};
  return {std::move(profile), {}};
}

#else

bool StampProfilesSupported() {
  return false;
}

StampProfileResult ReadStampProfile(const std::string&, const std::string& name) {
  return {std::nullopt, Fill({"配置文件错误！%1：本版本不支持 --profile（未带TOML解析器）",
                              "Cannot use the stamp profile: %1: this build does not support "
                              "--profile (it has no TOML parser)"},
                             {name})};
}

#endif

}  // namespace quillmark
