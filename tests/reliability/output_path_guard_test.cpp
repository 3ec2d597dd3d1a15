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
  std::string what;               // the output as its refusals name it
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
      {"write", write, Said("清单文件", "manifest file"), false},
      {"verify", verify, Said("报告文件", "report file"), false},
      {"verifyManifest",
       {"verify", "--image", "image.bin", "--out", "out", "--manifest", "list.csv", "--report"},
       Said("报告文件", "report file"),
       true},
      {"labels",
       {"labels", "--manifest", "list.csv", "--pdf"},
       Said("标签文件", "label file"),
       true},
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
  struct Target {
    const char* path;
    std::string refusal;       // %1 the output's name; the path follows
    std::string sheetRefusal;  // where labels, which know no image, differ
  };
  const std::string manifest = Said("%1不能是清单文件！", "The %1 must not be the manifest: ");
  const std::string image = Said("%1不能是输入映像！", "The %1 must not be the input image: ");
  const std::string batchName =
      Said("%1不能使用本批设备文件的名称！",
           "The %1 must not take the name of a device file of this batch: ");
  const std::string notRegular =
      Said("%1已存在且不是普通文件！", "The %1 exists and is not a regular file: ");
  const std::string notPdf =
      Said("%1已存在且不是PDF文件！", "The %1 exists and is not a PDF file: ");
  const std::vector<Target> targets = {
      {"list.csv", manifest, ""},
      {"image.bin", image, notPdf},
      {"out/fw_045755_000000.img", batchName, ""},
      {"out/.fw_045755_000001.img.part", batchName, ""},
      {"folder", Said("%1不能是目录！", "The %1 must not be a directory: "), ""},
      {"fifo", notRegular, ""},
      {"node", notRegular, ""},
      {"link.img", image, notRegular},
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
      std::string refusal = sheet ? target.sheetRefusal : target.refusal;
      refusal.replace(refusal.find("%1"), 2, command.what);
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_EQ(run.err, refusal + target.path + "\n");
      EXPECT_EQ(run.out, "");
      EXPECT_TRUE(Take(m_dir / target.path) == before);
      EXPECT_EQ(ReadFileBytes(m_dir / "image.bin"), image);
    }
  }
}

}  // namespace
}  // namespace quillmark::test
