#include <gtest/gtest.h>

#include "ssid_template.h"
#include "wifi_qr.h"

namespace quillmark::secrets {
namespace {

TEST(SecretSsid, TemplatesExpandOrAreRefused) {
  struct Case {
    std::string_view pattern;
    std::string_view expanded;  // empty: refused
  };
  const std::uint64_t mac = 0x00'1A'2B'3C'4D'5E;
  for (const Case& c : {Case{"Quill-{mac:-4}", "Quill-4D5E"},
                        {"{mac}", "001A2B3C4D5E"},
                        {"N{mac:-1}-{mac:-12}", "NE-001A2B3C4D5E"},
                        {"Plain name; with: marks", "Plain name; with: marks"},
                        {"{mac:-0}", ""},
                        {"{mac:-13}", ""},
                        {"{mac:-04}", "4D5E"},
                        {"{serial}", ""},
                        {"{mac:-4", ""},
                        {"mac:-4}", ""},
                        {"", ""},
                        {"A-very-long-network-name-{mac}", ""},  // 38 bytes
                        {"Tab\there", ""},
                        {"Caf\xC3\xA9", ""}}) {
    const auto ssid = ExpandSsid(c.pattern, mac);
    if (c.expanded.empty()) {
      EXPECT_FALSE(ssid.ok()) << c.pattern << " gave " << ssid.value.value_or("");
      EXPECT_FALSE(ssid.error.empty());
      EXPECT_EQ(ssid.error.find('\t'), std::string::npos);
    } else {
      ASSERT_TRUE(ssid.ok()) << c.pattern << ": " << ssid.error;
      EXPECT_EQ(*ssid.value, c.expanded);
    }
  }
}

TEST(SecretWifiQr, EscapesWhatTheFormatReserves) {
  EXPECT_EQ(WifiQrPayload("Quill-4D5E", "ab#c+d-e=f?g@hj"),
            "WIFI:T:WPA;S:Quill-4D5E;P:ab#c+d-e=f?g@hj;;");
  EXPECT_EQ(WifiQrPayload(R"(a;b,c:d\e"f)", R"(;,:\")"),
            R"(WIFI:T:WPA;S:a\;b\,c\:d\\e\"f;P:\;\,\:\\\";;)");
}

}  // namespace
}  // namespace quillmark::secrets
