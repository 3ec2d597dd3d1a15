// A manifest whose volume runs out of inodes during the run: it cannot be
// created at the end, and the previous lot's manifest under its path must
// not be taken for this run's.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "test_mount.h"

namespace quillmark::test {
namespace {

struct EndCase {
  const char* name;
  int signalNumber;  // 0: the run goes to its end
  int exitCode;
};

void PrintTo(const EndCase& end, std::ostream* os) {
  *os << end.name;
}

class ManifestVolumeTest : public CliTest, public testing::WithParamInterface<EndCase> {};

// Creates empty files until the volume has no inode left.
void TakeEveryInode(const std::string& folder) {
  for (int i = 0;; ++i) {
    const std::string path = folder + "/filler" + std::to_string(i);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
      break;
    ::close(fd);
  }
}

TEST_P(ManifestVolumeTest, AManifestThatCannotBeCreatedTakesThePreviousOneAway) {
  const TestMount volume(m_dir.path(), TestMount::Kind::Ext4, 8 << 20, "", 64);
  ASSERT_TRUE(volume.mounted()) << volume.failure();
  const std::string manifest = volume.mountPoint() + "/lot.csv";
  WriteFileBytes(manifest, {'f', 'i', 'l', 'e', ',', 'm', 'a', 'c', '1', '\n'});

  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(CliCommand({"--image=image.img", "--count=40", "--manifest=" + manifest}),
                    options);
  ASSERT_TRUE(tool.started());
  ASSERT_TRUE(tool.ReadLine(kChildTimeout).has_value());
  ASSERT_TRUE(tool.Pause());
  TakeEveryInode(volume.mountPoint());
  if (GetParam().signalNumber != 0)
    tool.Signal(GetParam().signalNumber);
  ASSERT_TRUE(tool.Resume());
  const ChildResult result = tool.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
  EXPECT_EQ(Lines(result.err).front(),
            Said("清单文件写入出错！", "Writing the manifest failed: ") + manifest);
  EXPECT_EQ(::access(manifest.c_str(), F_OK), -1) << "the previous manifest is still there";
}

INSTANTIATE_TEST_SUITE_P(Ends, ManifestVolumeTest,
                         testing::Values(EndCase{"Finished", 0, 3},
                                         EndCase{"Stopped", SIGINT, 130}),
                         [](const testing::TestParamInfo<EndCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace quillmark::test
