#pragma once

#include <cstdint>
#include <string>

namespace quillmark::test {

// A small ext4 file system made in a file and mounted through a loop
// device, for a disk that really fills up (or runs out of inodes, with a
// small inodeCount; 0 takes mkfs's default). Needs root; when it cannot be
// had, mounted() is false and failure() says why. Unmounted when the
// object goes.
class LoopMount {
 public:
  LoopMount(const std::string& folder, std::uint64_t sizeBytes, std::uint32_t inodeCount = 0);
  ~LoopMount();
  LoopMount(const LoopMount&) = delete;
  LoopMount& operator=(const LoopMount&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& mountPoint() const { return m_mountPoint; }
  const std::string& failure() const { return m_failure; }

 private:
  void Fail(std::string why);

  std::string m_mountPoint;
  std::string m_failure;
  bool m_mounted = false;
};

}  // namespace quillmark::test
