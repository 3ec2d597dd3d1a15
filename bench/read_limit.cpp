// The read limit: the least a verifier of a batch must do, read every
// file once into a buffer, on two threads, with nothing compared. Each
// thread takes the next file and reads it front to back.
//
//   quillmark-read-limit [--read-bytes N] [--threads N] FILE...
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Settings {
  std::size_t readBytes = std::size_t{1} << 20;
  int threads = 2;
  std::vector<std::string> files;
};

bool ParseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--read-bytes" || arg == "--threads") && i + 1 < argc) {
      const long value = std::strtol(argv[++i], nullptr, 10);
      if (value <= 0)
        return false;
      if (arg == "--threads")
        settings.threads = static_cast<int>(value);
      else
        settings.readBytes = static_cast<std::size_t>(value);
    } else {
      settings.files.push_back(arg);
    }
  }
  return !settings.files.empty();
}

// Reads the file to its end; the bytes it read, or -1 on an error.
long long ReadWhole(const std::string& path, std::uint8_t* buffer, std::size_t size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return -1;
  long long total = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0) {
      total = got < 0 ? -1 : total;
      break;
    }
    total += got;
  }
  ::close(fd);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(stderr, "usage: quillmark-read-limit [--read-bytes N] [--threads N] FILE...\n");
    return 2;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<long long> bytes{0};
  std::atomic<bool> failed{false};
  const auto work = [&] {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[settings.readBytes]);
    for (std::size_t i; (i = next.fetch_add(1)) < settings.files.size();) {
      const long long got = ReadWhole(settings.files[i], buffer.get(), settings.readBytes);
      if (got < 0)
        failed = true;
      else
        bytes += got;
    }
  };
  std::vector<std::thread> threads;
  for (int i = 1; i < settings.threads; ++i)
    threads.emplace_back(work);
  work();
  for (std::thread& thread : threads)
    thread.join();
  std::printf("bytes=%lld\n", bytes.load());
  return failed ? 1 : 0;
}
