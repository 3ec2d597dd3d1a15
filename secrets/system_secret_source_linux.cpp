#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "interface_text.h"
#include "secret_source.h"

namespace quillmark::secrets {

std::string SystemSecretSource::Read(std::span<std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    // Larger requests may come back short; a signal may interrupt.
    const ssize_t got = ::getrandom(bytes.data() + done, bytes.size() - done, 0);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return Fill(
          {"无法从操作系统取得随机数：%1", "Cannot get random bytes from the operating system: %1"},
          {std::strerror(got < 0 ? errno : EIO)});
    done += static_cast<std::size_t>(got);
  }
  return "";
}

}  // namespace quillmark::secrets
