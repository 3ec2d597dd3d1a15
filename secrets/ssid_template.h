#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "secret_result.h"

namespace quillmark::secrets {

inline constexpr std::size_t kLongestSsid = 32;  // bytes, as 802.11 allows

// A device's network name from a template and the device's first address
// (its 48 bits): "{mac}" stands for its twelve hexadecimal digits,
// "{mac:-N}" for the last N of them (1 to 12), in capitals, so
// "Quill-{mac:-4}" gives "Quill-3A7F". The name is not secret: it is
// broadcast, and so it is the one value built from the address. Refused:
// another "{…}", a lone "{" or "}", a name of no or more than 32 bytes, or
// one with a character outside printable ASCII.
SecretResult<std::string> ExpandSsid(std::string_view pattern, std::uint64_t firstMac);

}  // namespace quillmark::secrets
