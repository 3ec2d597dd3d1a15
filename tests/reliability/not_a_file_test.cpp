// Image paths that name something other than a regular file: each is
// rejected at once as unreadable, before the output folder is made; a
// hang here would stall a production line.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "english_mode.h"
#include "reliability_test.h"

namespace quillmark::test {
namespace {

using namespace std::chrono_literals;

enum class NotAFile { Fifo, FifoWithWriter, LinkToFifo, Socket, Directory, DevZero, DevNull };

const char* const kNotAFileNames[] = {"Fifo",      "FifoWithWriter", "LinkToFifo", "Socket",
                                      "Directory", "DevZero",        "DevNull"};

void PrintTo(NotAFile kind, std::ostream* os) {
  *os << kNotAFileNames[int(kind)];
}

class NotAFileTest : public ReliabilityTest, public testing::WithParamInterface<NotAFile> {
 protected:
  ~NotAFileTest() override {
    if (m_held >= 0)
      ::close(m_held);
  }
  // Makes the thing the image path names; empty when it could not.
  std::string Make(NotAFile kind) {
    const std::string path = m_dir / "thing";
    switch (kind) {
      case NotAFile::Fifo:
        return ::mkfifo(path.c_str(), 0600) == 0 ? path : "";
      case NotAFile::FifoWithWriter:
        // A FIFO opened for reading and writing never blocks; the data waits in it.
        if (::mkfifo(path.c_str(), 0600) != 0)
          return "";
        m_held = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        return m_held >= 0 && ::write(m_held, "data", 4) == 4 ? path : "";
      case NotAFile::LinkToFifo:
        return ::mkfifo((path + "-fifo").c_str(), 0600) == 0 &&
                       ::symlink((path + "-fifo").c_str(), path.c_str()) == 0
                   ? path
                   : "";
      case NotAFile::Socket:
        return BindSocket(path) ? path : "";
      case NotAFile::Directory:
        return ::mkdir(path.c_str(), 0755) == 0 ? path : "";
      // Nodes with the numbers of the zero and null devices, in the
      // scratch folder rather than the machine's own.
      case NotAFile::DevZero:
        return ::mknod(path.c_str(), S_IFCHR | 0444, ::makedev(1, 5)) == 0 ? path : "";
      case NotAFile::DevNull:
        return ::mknod(path.c_str(), S_IFCHR | 0444, ::makedev(1, 3)) == 0 ? path : "";
    }
    return "";
  }

 private:
  bool BindSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
      return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    m_held = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return m_held >= 0 &&
           ::bind(m_held, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }

  int m_held = -1;
};

// Rejected at once as unreadable, before the output folder is made; a
// hang here would stall a production line, so the run has little time.
TEST_P(NotAFileTest, IsRejectedAtOnce) {
  const std::string path = Make(GetParam());
  ASSERT_FALSE(path.empty()) << std::strerror(errno);

  const ChildResult result = RunCli(m_batch.Args(path, OutDir()), {}, 10s);

  EXPECT_FALSE(result.timedOut) << "the tool hung on the image path";
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err,
            path + Said("：无法打开（不存在、不是文件或无权读取）\n读取文件错误！\n",
                        ": cannot be opened (it does not exist, is not a file or may not be "
                        "read)\nCannot read the image.\n"));
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ListNames(OutDir()), kNothing);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotAFileTest,
                         testing::Values(NotAFile::Fifo, NotAFile::FifoWithWriter,
                                         NotAFile::LinkToFifo, NotAFile::Socket,
                                         NotAFile::Directory, NotAFile::DevZero, NotAFile::DevNull),
                         [](const auto& info) { return testing::PrintToString(info.param); });

}  // namespace
}  // namespace quillmark::test
