// Every file a command writes besides its device images (the write's
// manifest, verify's report, the label sheet) is refused, before anything
// is written, when its path is an input, a name of the batch, a directory
// or a node; whatever stands there is left exactly as it was.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "english_mode.h"
#include "reliability_test.h"

namespace quillmark::test {
namespace {

const std::vector<std::string> kBatch = {"--out",   "out", "--start-mac", "04:57:55:00:00:00",
                                         "--count", "3"};

struct WritingCommand {
  const char* name;
  std::vector<std::string> args;  // the output's path follows
  const char* what;               // the output as its refusals name it
  bool readsManifest;
};

std::vector<WritingCommand> WritingCommands() {
  std::vector<std::string> write = {"--image", "image.bin"};
  write.insert(write.end(), kBatch.begin(), kBatch.end());
  write.push_back("--manifest");
  std::vector<std::string> verify = {"verify", "--image", "image.bin"};
  verify.insert(verify.end(), kBatch.begin(), kBatch.end());
  verify.push_back("--report");
  return {
      {"write", write, "清单文件", false},
      {"verify", verify, "报告文件", false},
      {"verifyManifest",
       {"verify", "--image", "image.bin", "--out", "out", "--manifest", "list.csv", "--report"},
       "报告文件",
       true},
      {"labels", {"labels", "--manifest", "list.csv", "--pdf"}, "标签文件", true},
  };
}

// What stands under a path, looked at without following a link, and what
// it holds.
struct Snapshot {
  mode_t mode = 0;
  ino_t inode = 0;
  dev_t node = 0;
  std::string link;
  std::vector<std::string> names;
  std::vector<std::uint8_t> bytes;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const std::string& path) {
  Snapshot snapshot;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    return snapshot;
  snapshot.mode = info.st_mode;
  snapshot.inode = info.st_ino;
  snapshot.node = info.st_rdev;
  if (S_ISREG(info.st_mode))
    snapshot.bytes = ReadFileBytes(path);
  if (S_ISDIR(info.st_mode))
    snapshot.names = ListNames(path);
  if (S_ISLNK(info.st_mode)) {
    char target[256] = {};
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    snapshot.link.assign(target, length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  return snapshot;
}

class OutputPathGuardTest : public ReliabilityTest {
 protected:
  void SetUp() override {
    std::vector<std::string> write = {"--image", "image.bin", "--manifest", "list.csv", "--quiet"};
    write.insert(write.end(), kBatch.begin(), kBatch.end());
    ASSERT_EQ(Run(write).exitCode, 0);
    WriteFileBytes(m_dir / "out/.fw_045755_000001.img.part", {'l', 'e', 'f', 't'});
    ASSERT_EQ(::mkdir((m_dir / "folder").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0644), 0);
    // A character node with the numbers of the null device, in the
    // scratch folder: the machine's own nodes are never touched.
    ASSERT_EQ(::mknod((m_dir / "node").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    ASSERT_EQ(::symlink("image.bin", (m_dir / "link.img").c_str()), 0);
  }

  ChildResult Run(const std::vector<std::string>& args) {
    ChildOptions options;
    options.workingDirectory = m_dir.path();
    return RunCli(args, options);
  }
};

TEST_F(OutputPathGuardTest, EveryWritingCommandRefusesEveryForbiddenTarget) {
  QUILLMARK_SKIP_IN_ENGLISH();
  struct Target {
    const char* path;
    std::string refusal;       // after the output's name; the path follows
    std::string sheetRefusal;  // where labels, which know no image, differ
  };
  const std::vector<Target> targets = {
      {"list.csv", "不能是清单文件！", ""},
      {"image.bin", "不能是输入映像！", "已存在且不是PDF文件！"},
      {"out/fw_045755_000000.img", "不能使用本批设备文件的名称！", ""},
      {"out/.fw_045755_000001.img.part", "不能使用本批设备文件的名称！", ""},
      {"folder", "不能是目录！", ""},
      {"fifo", "已存在且不是普通文件！", ""},
      {"node", "已存在且不是普通文件！", ""},
      {"link.img", "不能是输入映像！", "已存在且不是普通文件！"},
  };
  for (const WritingCommand& command : WritingCommands()) {
    for (const Target& target : targets) {
      if (std::string(target.path) == "list.csv" && !command.readsManifest)
        continue;  // the write's own manifest is its output, not an input
      SCOPED_TRACE(std::string(command.name) + " → " + target.path);
      const Snapshot before = Take(m_dir / target.path);
      const std::vector<std::uint8_t> image = ReadFileBytes(m_dir / "image.bin");
      std::vector<std::string> args = command.args;
      args.push_back(target.path);

      const ChildResult run = Run(args);

      const bool sheet = std::string(command.name) == "labels" && !target.sheetRefusal.empty();
      const std::string refusal = sheet ? target.sheetRefusal : target.refusal;
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_EQ(run.err, command.what + refusal + target.path + "\n");
      EXPECT_EQ(run.out, "");
      EXPECT_TRUE(Take(m_dir / target.path) == before);
      EXPECT_EQ(ReadFileBytes(m_dir / "image.bin"), image);
    }
  }
}

}  // namespace
}  // namespace quillmark::test
