// Paths a production line may hand over, by mistake or by malice: odd
// bytes, names too long for the system, links planted under the names the
// tool writes, and image paths that are not files. Each gives a clear
// error or correct files, and nothing is ever written outside the output
// folder.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "reliability_test.h"

namespace quillmark::test {
namespace {

using namespace std::chrono_literals;

struct UnusualNames {
  const char* label;
  std::string image;
  std::string out;
  bool separateArguments;  // "--out", "-out" instead of "--out=-out"
};

class UnusualNameTest : public ReliabilityTest, public testing::WithParamInterface<UnusualNames> {};

TEST_P(UnusualNameTest, WritesTheBatchWhereTheNamesSay) {
  const UnusualNames& names = GetParam();
  m_batch.deviceCount = 2;
  WriteFileBytes(m_dir / names.image, m_batch.image);
  std::vector<std::string> args = m_batch.Args(names.image, names.out);
  if (names.separateArguments)
    args = {"--image", names.image, "--out", names.out, "--count", "2"};
  ChildOptions options;
  options.workingDirectory = m_dir.path();

  const ChildResult result = RunCli(args, options);

  std::vector<std::string> expected{"image.bin", names.image, names.out};
  std::sort(expected.begin(), expected.end());
  if (names.separateArguments && result.exitCode == 2) {
    // Refusing a value that looks like an option is as good as taking it.
    expected.pop_back();
    EXPECT_EQ(ListNames(m_dir.path()), expected);
    return;
  }
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ListNames(m_dir.path()), expected);
  const FolderState state = InspectOutputFolder(m_dir / names.out, m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.exactDevices, (std::vector<int>{0, 1}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnusualNameTest,
    testing::Values(UnusualNames{"SpacesAndBytesThatAreNotUtf8", "fw image \xff.bin",
                                 "out dir \xfe\xff", false},
                    UnusualNames{"LeadingDash", "-image.bin", "-out", false},
                    UnusualNames{"LeadingDashAsSeparateArguments", "-image.bin", "-out", true}),
    [](const auto& info) { return std::string(info.param.label); });

// Well-formed UTF-8: no stray continuation bytes, overlong forms,
// surrogates or values past U+10FFFF.
bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80                   ? 1
                       : lead >= 0xC2 && lead < 0xE0 ? 2
                       : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5 ? 4
                                                     : 0;
    if (length == 0 || i + length > text.size())
      return false;
    std::uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      value = value << 6 | (next & 0x3F);
    }
    const std::uint32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < lowest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

using FailureTextTest = ReliabilityTest;

// Scripts read the tool's output as UTF-8; a folder name that is not must
// not turn a failure line into bytes they cannot decode. Disabled until
// the tool stops printing such a path's bytes as they are.
TEST_F(FailureTextTest, DISABLED_StaysUtf8ForAFolderNameThatIsNot) {
  const std::string out = m_dir / "out\xff\xfe";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  // A folder under the temporary name makes the creation fail.
  ASSERT_EQ(::mkdir((out + "/" + m_batch.TemporaryName(0)).c_str(), 0755), 0);

  const ChildResult result = RunCli(m_batch.Args(ImagePath(), out));

  EXPECT_EQ(result.exitCode, 3);
  ASSERT_FALSE(Lines(result.out).empty());
  EXPECT_EQ(Lines(result.out).back().rfind(kCreationFailurePrefix, 0), 0u);
  EXPECT_TRUE(IsUtf8(result.out)) << result.out;
  EXPECT_TRUE(IsUtf8(result.err)) << result.err;
}

struct OverLongPath {
  const char* label;
  bool image;  // the image path is too long, or else the output folder's
  bool pastPathMax;
};

class OverLongPathTest : public ReliabilityTest,
                         public testing::WithParamInterface<OverLongPath> {};

// A component past NAME_MAX, or a whole path past PATH_MAX that names an
// existing file or folder through "/./": the system refuses the name, and
// the tool must say so rather than use some shorter name.
TEST_P(OverLongPathTest, IsRefusedWithTheStepsMessage) {
  const OverLongPath& path = GetParam();
  std::string longPath = m_dir.path();
  if (path.pastPathMax) {
    while (longPath.size() <= PATH_MAX)
      longPath += "/.";
    longPath += path.image ? "/image.bin" : "";
  } else {
    longPath += "/" + std::string(NAME_MAX + 1, path.image ? 'i' : 'o');
  }
  const std::string image = path.image ? longPath : ImagePath();
  const std::string out = path.image ? OutDir() : longPath;

  const ChildResult result = RunCli(m_batch.Args(image, out));

  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, path.image ? "读取文件错误！\n" : "输出目录错误！\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ListNames(m_dir.path()), (std::vector<std::string>{"image.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Paths, OverLongPathTest,
                         testing::Values(OverLongPath{"ImageNamePastNameMax", true, false},
                                         OverLongPath{"ImagePathPastPathMax", true, true},
                                         OverLongPath{"OutputNamePastNameMax", false, false},
                                         OverLongPath{"OutputPathPastPathMax", false, true}),
                         [](const auto& info) { return std::string(info.param.label); });

using PlantedLinkTest = ReliabilityTest;

// Links planted under the hidden temporary names and under the final
// names, pointing at files and folders outside the output folder, existing
// or not yet: every device still gets its own regular file, and nothing
// outside changes or appears.
TEST_F(PlantedLinkTest, NoLinkRedirectsAWrite) {
  m_batch.deviceCount = 4;
  ASSERT_EQ(::mkdir(OutDir().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((m_dir / "elsewhere").c_str(), 0755), 0);
  for (const char* victim : {"victim-a", "victim-b", "victim-c"})
    WriteFileBytes(m_dir / victim, {'k', 'e', 'e', 'p'});
  const auto plant = [&](const std::string& target, const std::string& name) {
    ASSERT_EQ(::symlink(target.c_str(), (OutDir() + "/" + name).c_str()), 0) << name;
  };
  plant(m_dir / "victim-a", m_batch.TemporaryName(0));
  plant(m_dir / "made-by-final", m_batch.FileName(0));
  plant(m_dir / "made-by-temporary", m_batch.TemporaryName(1));
  plant(m_dir / "victim-b", m_batch.FileName(1));
  ASSERT_EQ(::link((m_dir / "victim-c").c_str(), (OutDir() + "/" + m_batch.FileName(2)).c_str()),
            0);
  plant(m_dir / "elsewhere", m_batch.TemporaryName(3));

  const ChildResult result = RunCli(m_batch.Args(ImagePath(), OutDir()));

  EXPECT_EQ(result.exitCode, 0) << result.out;
  const FolderState state = InspectOutputFolder(OutDir(), m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  EXPECT_EQ(state.exactDevices, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(ListNames(m_dir.path()),
            (std::vector<std::string>{"elsewhere", "image.bin", "out", "victim-a", "victim-b",
                                      "victim-c"}));
  EXPECT_EQ(ListNames(m_dir / "elsewhere"), kNothing);
  for (const char* victim : {"victim-a", "victim-b", "victim-c"})
    EXPECT_EQ(ReadFileBytes(m_dir / victim), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
}

// A chain of folders whose whole path is past PATH_MAX, reachable only a
// step at a time. Returns the deepest folder, open, or -1.
int MakeDeepFolder(int parent, const std::string& name, int depth) {
  int folder = ::dup(parent);
  for (int step = 0; step < depth && folder >= 0; ++step) {
    const int next = ::mkdirat(folder, name.c_str(), 0755) == 0
                         ? ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                         : -1;
    ::close(folder);
    folder = next;
  }
  return folder;
}

// Removes a tree whose paths may be too long to name whole.
void RemoveTreeAt(int parent, const std::string& name) {
  const int folder =
      ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder >= 0) {
    for (const std::string& entry : ListNamesAt(folder, "."))
      RemoveTreeAt(folder, entry);
    ::close(folder);
  }
  if (::unlinkat(parent, name.c_str(), 0) != 0)
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

using DeepFolderTest = ReliabilityTest;

// Run from a folder deeper than PATH_MAX, a relative output folder
// resolves to a path too long to use: correct files in it, or the
// creation message and none; never a file anywhere else.
TEST_F(DeepFolderTest, RelativeOutputFolderUnderAPathPastPathMax) {
  m_batch.deviceCount = 2;
  const std::string top(NAME_MAX - 5, 'd');
  const int scratch = ::open(m_dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(scratch, 0);
  const int deep = MakeDeepFolder(scratch, top, PATH_MAX / (NAME_MAX - 5) + 2);
  ASSERT_GE(deep, 0);
  ChildOptions options;
  options.workingDirectoryFd = deep;

  const ChildResult result = RunCli(m_batch.Args(ImagePath(), "out"), options);

  const std::vector<std::string> written = ListNamesAt(deep, "out");
  const std::vector<std::string> lines = Lines(result.out);
  if (result.exitCode == 0) {
    EXPECT_EQ(written, (std::vector<std::string>{m_batch.FileName(0), m_batch.FileName(1)}));
  } else {
    EXPECT_EQ(result.exitCode, 3);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind(kCreationFailurePrefix + m_dir.path() + "/" + top, 0), 0u);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 25), "/out/" + m_batch.FileName(0));
    EXPECT_EQ(written, kNothing);
  }
  EXPECT_EQ(ListNamesAt(deep, "."), (std::vector<std::string>{"out"}));
  EXPECT_EQ(ListNames(m_dir.path()), (std::vector<std::string>{top, "image.bin"}));
  ::close(deep);
  RemoveTreeAt(scratch, top);
  ::close(scratch);
}

enum class NotAFile { Fifo, FifoWithWriter, LinkToFifo, Socket, Directory, DevZero, DevNull };

const char* const kNotAFileNames[] = {"Fifo",      "FifoWithWriter", "LinkToFifo", "Socket",
                                      "Directory", "DevZero",        "DevNull"};

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
      case NotAFile::DevZero:
        return "/dev/zero";
      case NotAFile::DevNull:
        return "/dev/null";
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
  EXPECT_EQ(result.err, "读取文件错误！\n");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ListNames(OutDir()), kNothing);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotAFileTest,
                         testing::Values(NotAFile::Fifo, NotAFile::FifoWithWriter,
                                         NotAFile::LinkToFifo, NotAFile::Socket,
                                         NotAFile::Directory, NotAFile::DevZero, NotAFile::DevNull),
                         [](const auto& info) { return kNotAFileNames[int(info.param)]; });

}  // namespace
}  // namespace quillmark::test
