#pragma once

#include <string>
#include <string_view>

namespace quillmark::secrets {

// The text of a QR code a phone joins a WPA network with:
// "WIFI:T:WPA;S:<ssid>;P:<passphrase>;;", each of \ ; , : " in the name
// and the passphrase preceded by a backslash, as that format asks.
std::string WifiQrPayload(std::string_view ssid, std::string_view passphrase);

}  // namespace quillmark::secrets
