// Paths too long for the system: a name past NAME_MAX, a path past
// PATH_MAX, a relative output folder under a folder deeper than PATH_MAX.
// The tool says so, or writes correct files; it never writes under some
// shorter name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "english_mode.h"
#include "reliability_test.h"

namespace quillmark::test {
namespace {

struct OverLongPath {
  const char* label;
  bool image;  // the image path is too long, or else the output folder's
  bool pastPathMax;
};

void PrintTo(const OverLongPath& path, std::ostream* os) {
  *os << path.label;
}

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
  // The refusal is the last line, after the one naming the path.
  const std::string refusal = path.image
                                  ? Said("读取文件错误！\n", "Cannot read the image.\n")
                                  : Said("输出目录错误！\n", "The output folder cannot be used.\n");
  ASSERT_GE(result.err.size(), refusal.size());
  EXPECT_EQ(result.err.substr(result.err.size() - refusal.size()), refusal);
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ListNames(m_dir.path()), (std::vector<std::string>{"image.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Paths, OverLongPathTest,
                         testing::Values(OverLongPath{"ImageNamePastNameMax", true, false},
                                         OverLongPath{"ImagePathPastPathMax", true, true},
                                         OverLongPath{"OutputNamePastNameMax", false, false},
                                         OverLongPath{"OutputPathPastPathMax", false, true}),
                         [](const auto& info) { return testing::PrintToString(info.param); });

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
    EXPECT_EQ(lines.back().rfind(CreationFailedText(m_dir.path() + "/" + top), 0), 0u);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 25), "/out/" + m_batch.FileName(0));
    EXPECT_EQ(written, kNothing);
  }
  EXPECT_EQ(ListNamesAt(deep, "."), (std::vector<std::string>{"out"}));
  EXPECT_EQ(ListNames(m_dir.path()), (std::vector<std::string>{top, "image.bin"}));
  ::close(deep);
  RemoveTreeAt(scratch, top);
  ::close(scratch);
}

}  // namespace
}  // namespace quillmark::test
