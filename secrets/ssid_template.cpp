#include "ssid_template.h"

#include "interface_text.h"
#include "printable_text.h"

namespace quillmark::secrets {
namespace {

SecretResult<std::string> Refused(std::string_view pattern, std::string why) {
  return SecretResult<std::string>::Failed(
      Fill({"SSID 模板 %1 无效：%2", "The SSID template %1 is not valid: %2"},
           {EscapeControlCharacters(std::string(pattern)), why}));
}

// The count of "{mac:-N}", or 0 when the text is no such count.
int SuffixDigits(std::string_view inside) {
  if (inside == "mac")
    return 12;
  if (!inside.starts_with("mac:-") || inside.size() < 6 || inside.size() > 7)
    return 0;
  int count = 0;
  for (const char c : inside.substr(5)) {
    if (c < '0' || c > '9')
      return 0;
    count = count * 10 + (c - '0');
  }
  return count >= 1 && count <= 12 ? count : 0;
}

}  // namespace

SecretResult<std::string> ExpandSsid(std::string_view pattern, std::uint64_t firstMac) {
  char digits[13];
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 12; ++i)
    digits[i] = kHex[(firstMac >> (4 * (11 - i))) & 0xF];
  digits[12] = '\0';
  std::string name;
  for (std::size_t at = 0; at < pattern.size();) {
    const char c = pattern[at];
    if (c == '}')
      return Refused(pattern, std::string(Pick({"多余的 }", "a } without its {"})));
    if (c != '{') {
      if (c < 0x20 || c > 0x7E)
        return Refused(pattern, std::string(Pick({"只能包含可打印的 ASCII 字符",
                                                  "only printable ASCII characters may be used"})));
      name += c;
      ++at;
      continue;
    }
    const std::size_t close = pattern.find('}', at);
    if (close == std::string_view::npos)
      return Refused(pattern, std::string(Pick({"缺少 }", "a { without its }"})));
    const int count = SuffixDigits(pattern.substr(at + 1, close - at - 1));
    if (count == 0)
      return Refused(pattern, std::string(Pick({"只认识 {mac} 和 {mac:-N}（N 为 1–12）",
                                                "only {mac} and {mac:-N} (N from 1 to 12) are "
                                                "known"})));
    name.append(digits + 12 - count, static_cast<std::size_t>(count));
    at = close + 1;
  }
  if (name.empty() || name.size() > kLongestSsid)
    return Refused(pattern, Fill({"SSID 须为 1–%1 字节，这里是 %2 字节",
                                  "an SSID is 1 to %1 bytes, this one %2"},
                                 {std::to_string(kLongestSsid), std::to_string(name.size())}));
  return SecretResult<std::string>::Of(std::move(name));
}

}  // namespace quillmark::secrets
