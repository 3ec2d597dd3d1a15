#include "wifi_qr.h"

namespace quillmark::secrets {
namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == ';' || c == ',' || c == ':' || c == '"')
      out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string WifiQrPayload(std::string_view ssid, std::string_view passphrase) {
  return "WIFI:T:WPA;S:" + Escaped(ssid) + ";P:" + Escaped(passphrase) + ";;";
}

}  // namespace quillmark::secrets
