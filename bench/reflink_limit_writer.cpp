// The limit of the safe write pattern on a file system that shares data
// between files (XFS made with reflinks, btrfs): one thread; per device the
// hidden temporary file is created with O_EXCL, the whole image is cloned
// into it (FICLONE), the one 4 KiB block that holds the records is written,
// and the file is closed and renamed onto its final name. The image and the
// folder carry the same one-block copy-on-write hint the writer sets. No
// checks beyond the calls' results, no output.
//   quillmark-reflink-limit-writer IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_batch.h"

namespace {

using quillmark::bench::kMacBlock;
using quillmark::bench::ParseMac;

constexpr std::uint64_t kRecordBlock = 4096;

// A copy-on-write extent of one block, so rewriting the record block
// copies that block and no more.
void HintOneBlockCopies(int fd) {
  fsxattr attributes{};
  if (::ioctl(fd, FS_IOC_FSGETXATTR, &attributes) != 0)
    return;
  attributes.fsx_xflags |= FS_XFLAG_COWEXTSIZE;
  attributes.fsx_cowextsize = kRecordBlock;
  ::ioctl(fd, FS_IOC_FSSETXATTR, &attributes);
}

bool WriteDevice(const std::string& directory, int image, std::uint64_t size,
                 std::vector<std::uint8_t>& block, std::uint64_t mac, long perDevice) {
  const std::uint64_t first = mac;
  for (long j = 0; j < perDevice; ++j, mac = (mac + 1) & 0xffffffffffffULL) {
    for (int k = 0; k < 6; ++k)
      block[6 * j + k] = static_cast<std::uint8_t>(mac >> (40 - 8 * k));
  }
  char name[32];
  std::snprintf(name, sizeof name, "fw_%06llx_%06llx.img",
                static_cast<unsigned long long>(first >> 24),
                static_cast<unsigned long long>(first & 0xffffff));
  const std::string tempPath = directory + "/." + name + ".part";
  const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  const off_t at = static_cast<off_t>(size - kMacBlock);
  const bool written =
      ::ioctl(fd, FICLONE, image) == 0 &&
      ::pwrite(fd, block.data(), kRecordBlock, at) == static_cast<ssize_t>(kRecordBlock);
  return ::close(fd) == 0 && written &&
         ::rename(tempPath.c_str(), (directory + "/" + name).c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t startMac = 0;
  if (argc != 6 || !ParseMac(argv[3], startMac)) {
    std::fprintf(stderr, "usage: %s IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[2];
  const long count = std::atol(argv[4]);
  const long perDevice = std::atol(argv[5]);

  const int image = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (image < 0 || ::fstat(image, &info) != 0)
    return 1;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  std::vector<std::uint8_t> block(kRecordBlock);
  if (::pread(image, block.data(), kRecordBlock, static_cast<off_t>(size - kMacBlock)) !=
      static_cast<ssize_t>(kRecordBlock))
    return 1;
  HintOneBlockCopies(image);
  if (const int folder = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      folder >= 0) {
    HintOneBlockCopies(folder);
    ::close(folder);
  }
  for (long device = 0; device < count; ++device) {
    const std::uint64_t mac =
        (startMac + static_cast<std::uint64_t>(device * perDevice)) & 0xffffffffffffULL;
    if (!WriteDevice(directory, image, size, block, mac, perDevice))
      return 1;
  }
  return 0;
}
