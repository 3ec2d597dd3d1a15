#include "batch_manifest.h"

#include <map>

namespace quillmark {
namespace {

// The longest row a run writes: a file name and four addresses.
constexpr std::uint64_t kMaxRowBytes = 20 + kMaxMacsPerDevice * 18 + 1;
constexpr std::uint64_t kMaxManifestBytes = (kMaxManifestDevices + 1) * kMaxRowBytes;
// A quoted field is cut to this many bytes, so a stray binary file does not
// flood the terminal.
constexpr std::size_t kQuoteLimit = 40;

std::string LineError(std::int32_t line, const std::string& what) {
  return "清单文件第" + std::to_string(line) + "行错误！" + what;
}

std::string Quote(std::string_view field) {
  if (field.size() <= kQuoteLimit)
    return std::string(field);
  std::size_t cut = kQuoteLimit;
  // Back off to the start of a UTF-8 character.
  while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xc0) == 0x80)
    --cut;
  return std::string(field.substr(0, cut)) + "…";
}

std::uint64_t AsNumber(const MacAddress& address) {
  std::uint64_t value = 0;
  for (const std::int32_t octet : address.octets)
    value = value << 8 | static_cast<std::uint64_t>(octet);
  return value;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = line.find(',', begin);
    fields.push_back(line.substr(begin, comma - begin));
    if (comma == std::string_view::npos)
      return fields;
    begin = comma + 1;
  }
}

// Only the form a run writes: six pairs of lower-case hex digits.
std::optional<MacAddress> ReadAddress(std::string_view field) {
  std::optional<MacAddress> address = MacAddress::Parse(field);
  if (!address || address->ToColonText() != field)
    return std::nullopt;
  return address;
}

class ManifestParser {
 public:
  std::string ReadHeader(std::string_view line) {
    for (std::int32_t n = kMinMacsPerDevice; n <= kMaxMacsPerDevice; ++n) {
      if (line == ManifestHeader(n)) {
        m_manifest.macsPerDevice = n;
        return {};
      }
    }
    return LineError(1, "表头应为file,mac1,…,macN（N为" + std::to_string(kMinMacsPerDevice) + "到" +
                            std::to_string(kMaxMacsPerDevice) + "）：" + Quote(line));
  }

  std::string ReadRow(std::string_view line, std::int32_t number) {
    if (m_manifest.devices.size() == kMaxManifestDevices)
      return LineError(number, "设备超过" + std::to_string(kMaxManifestDevices) + "台");
    const std::vector<std::string_view> fields = SplitFields(line);
    const std::size_t expected = static_cast<std::size_t>(m_manifest.macsPerDevice) + 1;
    if (fields.size() != expected) {
      return LineError(number, "应有" + std::to_string(expected) + "个字段，实有" +
                                   std::to_string(fields.size()) + "个");
    }
    std::optional<MacAddress> first;
    MacAddress next;
    for (std::size_t j = 1; j < fields.size(); ++j) {
      const std::optional<MacAddress> address = ReadAddress(fields[j]);
      if (!address)
        return LineError(number, "MAC地址格式错误：" + Quote(fields[j]));
      if ((address->octets[0] & 3) != 0)
        return LineError(number, "MAC地址是组播或本地管理地址：" + address->ToColonText());
      if (first && *address != next) {
        return LineError(number,
                         "MAC地址不连续：" + address->ToColonText() + "应为" + next.ToColonText());
      }
      if (!first)
        first = address;
      next = *address;
      next.Increment();
    }
    if (fields[0] != first->ToFileName()) {
      return LineError(
          number, "文件名与首个MAC地址不符：" + Quote(fields[0]) + "应为" + first->ToFileName());
    }
    return Add(ManifestDevice{*first, number});
  }

  BatchManifest Take() { return std::move(m_manifest); }

 private:
  // Every row holds a run of n addresses, so a row repeats an address
  // exactly when a row before it starts less than n below or above it.
  std::string Add(const ManifestDevice& device) {
    const std::uint64_t start = AsNumber(device.first);
    const std::uint64_t n = static_cast<std::uint64_t>(m_manifest.macsPerDevice);
    const auto near = m_lineByStart.lower_bound(start < n ? 0 : start - n + 1);
    if (near != m_lineByStart.end() && near->first < start + n) {
      MacAddress shared = device.first;
      for (std::uint64_t i = start; i < near->first; ++i)
        shared.Increment();
      return LineError(device.line, "MAC地址" + shared.ToColonText() + "与第" +
                                        std::to_string(near->second) + "行重复");
    }
    m_lineByStart.emplace(start, device.line);
    m_manifest.devices.push_back(device);
    return {};
  }

  BatchManifest m_manifest;
  std::map<std::uint64_t, std::int32_t> m_lineByStart;
};

ManifestReading Refuse(std::string message) {
  return ManifestReading{std::nullopt, std::move(message)};
}

}  // namespace

std::string ManifestHeader(std::int32_t macsPerDevice) {
  std::string text = "file";
  for (std::int32_t j = 1; j <= macsPerDevice; ++j)
    text += ",mac" + std::to_string(j);
  return text;
}

std::vector<MacAddress> DeviceAddresses(const MacAddress& first, std::int32_t macsPerDevice) {
  std::vector<MacAddress> addresses;
  MacAddress address = first;
  for (std::int32_t j = 0; j < macsPerDevice; ++j) {
    addresses.push_back(address);
    address.Increment();
  }
  return addresses;
}

std::string ManifestRow(const MacAddress& first, std::int32_t macsPerDevice) {
  std::string text = first.ToFileName();
  MacAddress address = first;
  for (std::int32_t j = 0; j < macsPerDevice; ++j) {
    text += ',' + address.ToColonText();
    address.Increment();
  }
  return text;
}

ManifestReading ParseManifest(std::string_view text) {
  // A spreadsheet saves CSV with a byte-order mark and CR LF line ends
  // (RFC 4180's own); operators edit manifests that way, so both are read.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.starts_with(kByteOrderMark))
    text.remove_prefix(kByteOrderMark.size());
  if (text.empty())
    return Refuse("清单文件是空的！");
  ManifestParser parser;
  std::int32_t number = 1;
  for (std::size_t begin = 0; begin < text.size(); ++number) {
    const std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos)
      return Refuse(LineError(number, "行尾没有换行符，文件不完整"));
    std::string_view line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    std::string error = number == 1 ? parser.ReadHeader(line) : parser.ReadRow(line, number);
    if (!error.empty())
      return Refuse(std::move(error));
  }
  return ManifestReading{parser.Take(), {}};
}

ManifestReading ReadManifest(const std::string& path, PlatformFiles& files) {
  const FileHandle file = files.OpenForReading(path);
  if (file == kNoFile)
    return Refuse("读取清单文件错误！" + path);
  const std::optional<std::uint64_t> size = files.SizeOf(file);
  if (!size || *size > kMaxManifestBytes) {
    files.Close(file);
    return Refuse(size ? "清单文件过大！" + std::to_string(*size) : "读取清单文件错误！" + path);
  }
  std::string text(*size, '\0');
  const std::uint64_t read =
      files.ReadAll(file, reinterpret_cast<std::uint8_t*>(text.data()), *size);
  files.Close(file);
  if (read != *size)
    return Refuse("读取清单文件错误！" + path);
  return ParseManifest(text);
}

}  // namespace quillmark
