#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>

#include "interface_text.h"
#include "secret_source.h"

namespace quillmark::secrets {

std::string SystemSecretSource::Read(std::span<std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    const NTSTATUS status =
        ::BCryptGenRandom(nullptr, bytes.data() + done, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status != 0) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
      return Fill(
          {"无法从操作系统取得随机数：%1", "Cannot get random bytes from the operating system: %1"},
          {code});
    }
    done += chunk;
  }
  return "";
}

}  // namespace quillmark::secrets
