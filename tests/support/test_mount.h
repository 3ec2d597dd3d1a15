#pragma once

#include <cstdint>
#include <string>

namespace quillmark::test {

// A small file system mounted for one test at folder/mnt and unmounted
// when the object goes: a disk that really fills up, runs out of inodes or
// shares data between files. Needs root and, for the disk kinds, a loop
// device and the kind's mkfs; when any of it cannot be had, mounted() is
// false and failure() says what was missing.
class TestMount {
 public:
  enum class Kind {
    Ext4,   // no blocks reserved for root: the space left is the tool's
    Xfs,    // made with reflinks, so files can share data
    Tmpfs,  // in memory; options such as "nr_inodes=12" add to its size
  };

  // options go to the mount; ext4Inodes, when not 0, is how many inodes
  // an ext4 gets, for a disk that runs out of them first.
  TestMount(const std::string& folder, Kind kind, std::uint64_t sizeBytes,
            const std::string& options = "", std::uint32_t ext4Inodes = 0);
  ~TestMount();
  TestMount(const TestMount&) = delete;
  TestMount& operator=(const TestMount&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& mountPoint() const { return m_mountPoint; }
  const std::string& failure() const { return m_failure; }

 private:
  bool MakeDiskImage(const std::string& imageFile, Kind kind, std::uint64_t sizeBytes,
                     std::uint32_t ext4Inodes);

  std::string m_mountPoint;
  std::string m_failure;
  bool m_mounted = false;
};

const char* KindName(TestMount::Kind kind);

}  // namespace quillmark::test
