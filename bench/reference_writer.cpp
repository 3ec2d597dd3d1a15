// The plain writer the batch is measured against: one buffer; per device
// the records written into it, then open(O_CREAT|O_TRUNC), one write,
// close, under the device's final name. No checks, no temporary names.
//   quillmark-reference-writer IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [MODE]
// MODE is for experiments only: "plain" (the default); "writeback", which
// starts each file's writeback once written and drops the previous one
// from the page cache after it reached the disk, to keep dirty memory
// bounded; "copy", which copies each file in the kernel
// (copy_file_range) from an unnamed file written once, then writes only
// the records; "direct", which writes past the page cache (O_DIRECT).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "bench_batch.h"

namespace {

using quillmark::bench::kMacBlock;
using quillmark::bench::ParseMac;

bool WriteAll(int fd, const std::uint8_t* data, std::uint64_t size, off_t offset) {
  while (size > 0) {
    const ssize_t put = ::pwrite(fd, data, size, offset);
    if (put <= 0)
      return false;
    data += put;
    size -= static_cast<std::uint64_t>(put);
    offset += put;
  }
  return true;
}

bool CopyWhole(int to, int from, std::uint64_t size) {
  loff_t in = 0, out = 0;
  while (size > 0) {
    const ssize_t moved = ::copy_file_range(from, &in, to, &out, size, 0);
    if (moved <= 0)
      return false;
    size -= static_cast<std::uint64_t>(moved);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t mac = 0;
  if (argc < 6 || !ParseMac(argv[3], mac)) {
    std::fprintf(stderr, "usage: %s IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [MODE]\n",
                 argv[0]);
    return 2;
  }
  const std::string directory = argv[2];
  const long count = std::atol(argv[4]);
  const long perDevice = std::atol(argv[5]);
  const std::string mode = argc > 6 ? argv[6] : "plain";

  const int input = ::open(argv[1], O_RDONLY);
  struct stat info {};
  if (input < 0 || ::fstat(input, &info) != 0)
    return 1;
  const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
  std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[size]);
  if (!image || ::read(input, image.get(), size) != static_cast<ssize_t>(size))
    return 1;
  ::close(input);
  std::uint8_t* data = image.get();
  std::unique_ptr<void, void (*)(void*)> aligned(nullptr, &std::free);
  if (mode == "direct") {
    // Direct transfers need a buffer aligned to the device's blocks.
    void* block = nullptr;
    if (::posix_memalign(&block, 4096, size) != 0)
      return 1;
    aligned.reset(block);
    data = static_cast<std::uint8_t*>(std::memcpy(block, data, size));
  }
  std::uint8_t* const records = data + size - kMacBlock;

  int master = -1;
  if (mode == "copy") {
    master = ::open(directory.c_str(), O_TMPFILE | O_RDWR, 0600);
    if (master < 0 || !WriteAll(master, data, size, 0))
      return 1;
  }
  int previous = -1;
  for (long device = 0; device < count; ++device) {
    const std::uint64_t first = mac;
    for (long j = 0; j < perDevice; ++j, mac = (mac + 1) & 0xffffffffffffULL) {
      for (int k = 0; k < 6; ++k)
        records[6 * j + k] = static_cast<std::uint8_t>(mac >> (40 - 8 * k));
    }
    char name[32];
    std::snprintf(name, sizeof name, "/fw_%06llx_%06llx.img",
                  static_cast<unsigned long long>(first >> 24),
                  static_cast<unsigned long long>(first & 0xffffff));
    const std::string path = directory + name;
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | (mode == "direct" ? O_DIRECT : 0), 0666);
    if (fd < 0)
      return 1;
    const bool written = master >= 0
                             ? CopyWhole(fd, master, size) &&
                                   WriteAll(fd, records, static_cast<std::uint64_t>(6 * perDevice),
                                            static_cast<off_t>(size - kMacBlock))
                             : WriteAll(fd, data, size, 0);
    if (!written)
      return 1;
    if (mode == "writeback") {
      ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
      if (previous >= 0) {
        ::sync_file_range(
            previous, 0, 0,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        ::posix_fadvise(previous, 0, 0, POSIX_FADV_DONTNEED);
        ::close(previous);
      }
      previous = fd;
      continue;
    }
    if (::close(fd) != 0)
      return 1;
  }
  if (previous >= 0)
    ::close(previous);
  return 0;
}
