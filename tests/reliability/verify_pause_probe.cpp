// quillmark-cli verify with one moment held for a test: once the last read
// of the file whose path ends in the first argument has returned, and
// before verify looks at the file again, the probe prints "paused" and
// stops itself until the test, having changed the file, lets it go on
// (SIGCONT). The other arguments are verify's.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "command_line.h"
#include "verify_command.h"

namespace {

class PausingFiles final : public quillmark::SystemFiles {
 public:
  explicit PausingFiles(std::string name) : m_suffix("/" + std::move(name)) {}

  quillmark::FileHandle OpenForReading(const std::string& path) override {
    const quillmark::FileHandle file = SystemFiles::OpenForReading(path);
    const bool watched =
        path.size() >= m_suffix.size() &&
        path.compare(path.size() - m_suffix.size(), m_suffix.size(), m_suffix) == 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (watched && file != quillmark::kNoFile && !m_paused) {
      m_watched = file;
      m_read = 0;
    }
    return file;
  }

  std::uint64_t ReadAll(quillmark::FileHandle file, std::uint8_t* buffer,
                        std::uint64_t size) override {
    const std::uint64_t read = SystemFiles::ReadAll(file, buffer, size);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_paused || file != m_watched)
      return read;
    m_read += read;
    if (const std::optional<std::uint64_t> whole = SizeOf(file); whole && m_read == *whole) {
      m_paused = true;
      std::fputs("paused\n", stdout);
      std::fflush(stdout);
      ::raise(SIGSTOP);
    }
    return read;
  }

 private:
  const std::string m_suffix;
  std::mutex m_mutex;
  quillmark::FileHandle m_watched = quillmark::kNoFile;
  std::uint64_t m_read = 0;
  bool m_paused = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: verify_pause_probe FILE-NAME VERIFY-ARGS...\n", stderr);
    return 2;
  }
  PausingFiles files(argv[1]);
  const std::vector<std::string> args(argv + 2, argv + argc);
  return quillmark::cli::FinishStandardOutput(quillmark::cli::RunVerifyCommand(args, files));
}
