#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillmark::secrets {

// Where the random bytes of every secret come from. The real one is the
// operating system's; tests give fixed bytes in its place to show what the
// drawing does with each value.
class SecretSource {
 public:
  virtual ~SecretSource() = default;
  // Fills every byte; "" when it did, else the reason.
  virtual std::string Read(std::span<std::uint8_t> bytes) = 0;
};

// The operating system's cryptographic random source: getrandom on Linux
// (which waits until the kernel's pool was first seeded), BCryptGenRandom
// on Windows. Never a seeded generator of the program's own.
class SystemSecretSource final : public SecretSource {
 public:
  std::string Read(std::span<std::uint8_t> bytes) override;
};

}  // namespace quillmark::secrets
