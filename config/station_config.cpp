#include "station_config.h"

#include <cstdint>
#include <string_view>

#include "batch_limits.h"
#include "interface_text.h"
#include "mac_address.h"
#include "note_text.h"
#include "printable_text.h"
#include "toml_input_guard.h"

#if QUILLMARK_HAVE_TOML
#define TOML_EXCEPTIONS 0
#define TOML_HEADER_ONLY 1
#include <toml++/toml.h>
#endif

namespace quillmark {
namespace {

std::string Refusal(const std::string& name, std::int64_t line, const std::string& what) {
  // Keys, values and the parser's words come from the file: one line whatever they hold.
  return EscapeControlCharacters(
      Fill({"配置文件错误！%1 第%2行：%3", "Cannot use the station configuration: %1 line %2: %3"},
           {name, std::to_string(line), what}));
}

}  // namespace

#if QUILLMARK_HAVE_TOML

namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::int64_t LineOf(const toml::node& node) {
  return static_cast<std::int64_t>(node.source().begin.line);
}

// A text key's value: a non-empty string of printable characters.
std::string ReadText(const toml::node& node, const std::string& key, const std::string& name,
                     std::optional<std::string>& value) {
  if (!node.is_string() || node.as_string()->get().empty() ||
      HasControlCharacters(node.as_string()->get()))
    return Refusal(name, LineOf(node),
                   Fill({"%1 应是非空字符串，不含控制字符",
                         "%1 must be a non-empty string without control characters"},
                        {key}));
  value = node.as_string()->get();
  return {};
}

std::string ReadCount(const toml::node& node, const std::string& key, const std::string& name,
                      std::int32_t low, std::int32_t high, std::optional<std::string>& value) {
  if (!node.is_integer() || node.as_integer()->get() < low || node.as_integer()->get() > high)
    return Refusal(name, LineOf(node),
                   Fill({"%1 应是%2到%3的整数", "%1 must be an integer from %2 to %3"},
                        {key, std::to_string(low), std::to_string(high)}));
  value = std::to_string(node.as_integer()->get());
  return {};
}

std::string ReadStartMac(const toml::node& node, const std::string& name,
                         std::optional<std::string>& value) {
  const std::string rule(
      Pick({"start_mac 应是完整写出的单播、全球管理地址，第二、三字节不同为ff（如 "
            "\"04:57:55:00:00:00\"）",
            "start_mac must be a unicast, globally administered address written in full, "
            "its second and third bytes not both ff (such as \"04:57:55:00:00:00\")"}));
  if (!node.is_string())
    return Refusal(name, LineOf(node), rule);
  const std::string text = node.as_string()->get();
  // Written in full: the reading rules that bend a typed field would let a
  // typo stand for an address nobody meant, in every run of the station.
  const std::optional<MacAddress> mac = MacAddress::Parse(text);
  if (!mac || mac->ToColonText() != Lowercase(text) || !mac->IsValidStart())
    return Refusal(name, LineOf(node), rule);
  value = mac->ToColonText();
  return {};
}

std::string ReadLanguage(const toml::node& node, const std::string& name,
                         std::optional<LanguageChoice>& value) {
  const std::optional<LanguageChoice> choice =
      node.is_string() ? ParseLanguageChoice(node.as_string()->get()) : std::nullopt;
  if (!choice)
    return Refusal(name, LineOf(node),
                   std::string(Pick({"language 应是 \"zh\"、\"en\" 或 \"auto\"（按区域设置）",
                                     "language must be \"zh\", \"en\" or \"auto\" (by the "
                                     "locale)"})));
  value = choice;
  return {};
}

std::string ReadFlag(const toml::node& node, const std::string& key, const std::string& name,
                     std::optional<bool>& value) {
  if (!node.is_boolean())
    return Refusal(name, LineOf(node),
                   Fill({"%1 应是 true 或 false", "%1 must be true or false"}, {key}));
  value = node.as_boolean()->get();
  return {};
}

// A path every job of the station finds whatever its current folder.
std::string ReadAbsolutePath(const toml::node& node, const std::string& key,
                             const std::string& name, std::optional<std::string>& value) {
  if (std::string error = ReadText(node, key, name, value); !error.empty())
    return error;
  if (value->front() != '/' && !(value->size() > 2 && (*value)[1] == ':'))
    return Refusal(name, LineOf(node),
                   Fill({"%1 应是绝对路径（如 \"/etc/quillmark/board.toml\"）",
                         "%1 must be an absolute path (such as \"/etc/quillmark/board.toml\")"},
                        {key}));
  return {};
}

std::string ReadKey(const std::string& key, const toml::node& node, const std::string& name,
                    StationConfig& config) {
  if (key == "ledger")
    return ReadText(node, key, name, config.ledger);
  if (key == "station")
    return ReadText(node, key, name, config.station);
  if (key == "pool")
    return ReadText(node, key, name, config.pool);
  if (key == "lot") {
    if (std::string error = ReadText(node, key, name, config.lot); !error.empty())
      return error;
    // The write would refuse it later, without the file and line.
    if (const std::string problem = LotProblem(*config.lot); !problem.empty())
      return Refusal(name, LineOf(node), problem);
    return {};
  }
  if (key == "series")
    return ReadText(node, key, name, config.series);
  if (key == "label_font")
    return ReadText(node, key, name, config.labelFont);
  if (key == "start_mac")
    return ReadStartMac(node, name, config.startMac);
  if (key == "count")
    return ReadCount(node, key, name, kMinDeviceCount, kMaxDeviceCount, config.deviceCount);
  if (key == "macs_per_device")
    return ReadCount(node, key, name, kMinMacsPerDevice, kMaxMacsPerDevice, config.macsPerDevice);
  if (key == "layout")
    return ReadText(node, key, name, config.labelLayout);
  if (key == "language")
    return ReadLanguage(node, name, config.language);
  if (key == "lenient")
    return ReadFlag(node, key, name, config.lenient);
  if (key == "profile")
    return ReadAbsolutePath(node, key, name, config.profile);
  return Refusal(
      name, LineOf(node),
      Fill({"未知的键 %1（可用的键：ledger、station、pool、lot、series、label_font、"
            "layout、start_mac、count、macs_per_device、language、lenient、profile）",
            "unknown key %1 (the keys are ledger, station, pool, lot, series, label_font, "
            "layout, start_mac, count, macs_per_device, language, lenient, profile)"},
           {key}));
}

}  // namespace

StationConfigResult ReadStationConfig(const std::string& text, const std::string& name) {
  // Characters the parser mishandles are refused before it sees them.
  if (const UnsafeTomlText unsafe = FindUnsafeTomlText(text); unsafe.line != 0)
    return {{}, Refusal(name, unsafe.line, std::string(unsafe.what))};
  toml::parse_result parsed = toml::parse(std::string_view(text));
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return {{},
            Refusal(name, static_cast<std::int64_t>(error.source().begin.line),
                    TomlParseErrorText(error.description(), text,
                                       static_cast<std::int64_t>(error.source().begin.line)))};
  }
  StationConfig config;
  for (const auto& [key, node] : parsed.table()) {
    if (std::string error = ReadKey(std::string(key.str()), node, name, config); !error.empty())
      return {{}, error};
  }
  return {config, {}};
}

#else

StationConfigResult ReadStationConfig(const std::string&, const std::string& name) {
  return {{},
          Refusal(name, 1,
                  std::string(Pick({"此版本构建时未包含TOML解析器，不能读取配置文件",
                                    "this build has no TOML parser and cannot read "
                                    "configuration files"})))};
}

#endif

}  // namespace quillmark
