// Any bytes as a station configuration: the reader never fails unsafely
// (the TOML parser sees no character it mishandles), a refusal is one line
// naming the file and its line, and every value it accepts keeps its rule.
#include <cstddef>
#include <cstdint>
#include <string>

#include "batch_limits.h"
#include "fuzz_check.h"
#include "mac_address.h"
#include "printable_text.h"
#include "station_config.h"
#include "text_scan.h"

namespace {

void RequireText(const std::optional<std::string>& value) {
  quillmark::fuzz::Require(!value || (!value->empty() && !quillmark::HasControlCharacters(*value)),
                           "a text value is not empty and holds no control character");
}

void RequireCount(const std::optional<std::string>& value, std::int32_t low, std::int32_t high) {
  if (!value)
    return;
  const std::optional<std::int32_t> count = quillmark::ReadDecimalInt32(*value);
  quillmark::fuzz::Require(
      count && *count >= low && *count <= high && std::to_string(*count) == *value,
      "a count is a plain number in its range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const StationConfigResult result = ReadStationConfig(text, "s.toml");
  if (!result.error.empty()) {
    fuzz::Require(result.error.rfind("配置文件错误！s.toml 第", 0) == 0,
                  "a refusal names the file and the line");
    fuzz::Require(result.error.find('\n') == std::string::npos, "a refusal is one line");
    return 0;
  }
  const StationConfig& c = result.config;
  for (const auto* value : {&c.ledger, &c.station, &c.pool, &c.lot, &c.labelFont})
    RequireText(*value);
  RequireCount(c.deviceCount, kMinDeviceCount, kMaxDeviceCount);
  RequireCount(c.macsPerDevice, kMinMacsPerDevice, kMaxMacsPerDevice);
  if (c.startMac) {
    const std::optional<MacAddress> start = MacAddress::Parse(*c.startMac);
    fuzz::Require(start && start->IsValidStart() && start->ToColonText() == *c.startMac,
                  "a start address is valid and written in full");
  }
  return 0;
}
