// The limit of the safe write pattern: one thread per CPU, thread t
// writing devices t, t + threads, ... each under a hidden temporary name
// created with O_EXCL, then renamed onto its final name. No order between
// the threads, no checks beyond the calls' results, no output. Each thread
// keeps its own copy of the image's last 64 KiB for its device's records.
//   quillmark-limit-writer IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [THREADS]
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_batch.h"

namespace {

using quillmark::bench::kMacBlock;
using quillmark::bench::ParseMac;

struct Batch {
  std::string directory;
  const std::uint8_t* image = nullptr;
  std::uint64_t size = 0;
  std::uint64_t startMac = 0;
  long count = 0;
  long perDevice = 0;
};

bool WriteDevice(const Batch& batch, std::uint8_t* tail, long device) {
  const std::uint64_t head = batch.size - kMacBlock;
  std::uint64_t mac =
      (batch.startMac + static_cast<std::uint64_t>(device * batch.perDevice)) & 0xffffffffffffULL;
  const std::uint64_t first = mac;
  for (long j = 0; j < batch.perDevice; ++j, mac = (mac + 1) & 0xffffffffffffULL) {
    for (int k = 0; k < 6; ++k)
      tail[6 * j + k] = static_cast<std::uint8_t>(mac >> (40 - 8 * k));
  }
  char name[32];
  std::snprintf(name, sizeof name, "fw_%06llx_%06llx.img",
                static_cast<unsigned long long>(first >> 24),
                static_cast<unsigned long long>(first & 0xffffff));
  const std::string tempPath = batch.directory + "/." + name + ".part";
  const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  iovec parts[2] = {{const_cast<std::uint8_t*>(batch.image), head}, {tail, kMacBlock}};
  std::uint64_t left = batch.size;
  int first_part = 0;
  while (left > 0) {
    const ssize_t put = ::writev(fd, parts + first_part, 2 - first_part);
    if (put <= 0) {
      ::close(fd);
      return false;
    }
    left -= static_cast<std::uint64_t>(put);
    // A short write: move past what arrived.
    std::uint64_t moved = static_cast<std::uint64_t>(put);
    while (moved > 0 && first_part < 2) {
      const std::uint64_t part = parts[first_part].iov_len;
      if (moved >= part) {
        moved -= part;
        ++first_part;
      } else {
        parts[first_part].iov_base = static_cast<std::uint8_t*>(parts[first_part].iov_base) + moved;
        parts[first_part].iov_len -= moved;
        moved = 0;
      }
    }
  }
  return ::close(fd) == 0 &&
         ::rename(tempPath.c_str(), (batch.directory + "/" + name).c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Batch batch;
  if (argc < 6 || !ParseMac(argv[3], batch.startMac)) {
    std::fprintf(stderr, "usage: %s IMAGE OUTDIR START_MAC COUNT MACS_PER_DEVICE [THREADS]\n",
                 argv[0]);
    return 2;
  }
  batch.directory = argv[2];
  batch.count = std::atol(argv[4]);
  batch.perDevice = std::atol(argv[5]);
  const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
  const long threads = argc > 6 ? std::atol(argv[6]) : (cpus > 0 ? cpus : 1);

  const int input = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (input < 0 || ::fstat(input, &info) != 0)
    return 1;
  batch.size = static_cast<std::uint64_t>(info.st_size);
  std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[batch.size]);
  if (::read(input, image.get(), batch.size) != static_cast<ssize_t>(batch.size))
    return 1;
  ::close(input);
  batch.image = image.get();

  std::atomic<bool> failed{false};
  std::vector<std::thread> workers;
  for (long t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      std::vector<std::uint8_t> tail(batch.image + batch.size - kMacBlock,
                                     batch.image + batch.size);
      for (long device = t; device < batch.count && !failed; device += threads) {
        if (!WriteDevice(batch, tail.data(), device))
          failed = true;
      }
    });
  }
  for (std::thread& worker : workers)
    worker.join();
  return failed ? 1 : 0;
}
