#include <gtest/gtest.h>

#include <fstream>

#include "child_process.h"
#include "device_secrets.h"
#include "label_code.h"
#include "scratch_dir.h"
#include "ssid_template.h"
#include "wifi_qr.h"

namespace quillmark::secrets {
namespace {

// The fields of a WIFI: text, unescaped, by the format's rules alone.
std::map<char, std::string> ParseWifi(std::string text) {
  std::map<char, std::string> fields;
  if (!text.starts_with("WIFI:") || !text.ends_with(";;"))
    return fields;
  std::string field;
  for (std::size_t at = 5; at < text.size(); ++at) {
    if (text[at] == '\\' && at + 1 < text.size()) {
      field += text[++at];
    } else if (text[at] == ';') {
      if (field.size() >= 2 && field[1] == ':')
        fields[field[0]] = field.substr(2);
      field.clear();
    } else {
      field += text[at];
    }
  }
  return fields;
}

// Each module 6 pixels square, as a grey image zbarimg reads.
void WriteCode(const std::string& path, const labels::ModuleGrid& grid) {
  constexpr int kScale = 6;
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << grid.width * kScale << ' ' << grid.height * kScale << "\n255\n";
  for (int y = 0; y < grid.height * kScale; ++y)
    for (int x = 0; x < grid.width * kScale; ++x)
      out.put(grid.IsDark(x / kScale, y / kScale) ? '\0' : '\xff');
}

TEST(SecretsByTools, ZbarReadsTheWifiCodeBackToItsNameAndPassphrase) {
  test::ScratchDir dir;
  SystemSecretSource source;
  std::vector<std::pair<std::string, std::string>> networks = {
      {*ExpandSsid("Quill-{mac:-4}", 0x001A2B3C4D5E).value, *DrawPassphrase(source, 16).value},
      {*ExpandSsid(R"(Lab;1,a:b\c"d {mac:-2})", 0x0A).value, *DrawPassphrase(source, 63).value},
      {"Quill", R"(p;a,s:s\w"ord-12)"}};
  for (int i = 0; i < 20; ++i)
    networks.emplace_back(*ExpandSsid("Q-{mac}", 0x02'00'00'00'00'00u + i).value,
                          *DrawPassphrase(source, 12 + 2 * i).value);
  for (const auto& [ssid, passphrase] : networks) {
    const std::string payload = WifiQrPayload(ssid, passphrase);
    const labels::EncodedCode code = labels::EncodeCode(labels::CodeKind::Qr, payload);
    ASSERT_TRUE(code.grid) << code.error;
    WriteCode(dir / "code.pgm", *code.grid);
    const test::ChildResult scan =
        test::RunChild({"zbarimg", "--raw", "-q", "--nodbus", dir / "code.pgm"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.out, payload + "\n");
    const auto fields = ParseWifi(scan.out.substr(0, scan.out.size() - 1));
    EXPECT_EQ(fields, (std::map<char, std::string>{{'T', "WPA"}, {'S', ssid}, {'P', passphrase}}))
        << scan.out;
  }
}

}  // namespace
}  // namespace quillmark::secrets
