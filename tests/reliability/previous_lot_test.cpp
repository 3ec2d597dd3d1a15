// A run over the images of an earlier lot that cannot create a device's
// file. The failed device keeps no image of the earlier lot under its
// name, where it would pass for this lot's; devices the run never reached
// keep what they had.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reliability_test.h"
#include "test_mount.h"

namespace quillmark::test {
namespace {

using PreviousLotTest = ReliabilityTest;

// Makes files until the file system has no inode left.
void TakeEveryInode(const std::string& folder) {
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  for (int n = 0; n < 100000; ++n) {
    const int fd = ::open((folder + "/" + std::to_string(n)).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      ASSERT_EQ(errno, ENOSPC);
      return;
    }
    ::close(fd);
  }
  FAIL() << "the file system never ran out of inodes";
}

TEST_F(PreviousLotTest, InodesRunOutAtTheFirstDevice) {
  const TestMount volume(m_dir.path(), TestMount::Kind::Tmpfs, std::uint64_t{64} << 20,
                         "nr_inodes=64");
  if (!volume.mounted())
    GTEST_SKIP() << volume.failure();
  const std::string out = volume.mountPoint() + "/out";
  m_batch.deviceCount = 5;
  DeviceBatch earlier = m_batch;
  earlier.image[100] ^= 0xFF;
  WriteFileBytes(m_dir / "earlier.bin", earlier.image);
  ASSERT_EQ(RunCli(earlier.Args(m_dir / "earlier.bin", out)).exitCode, 0);
  TakeEveryInode(volume.mountPoint() + "/other");

  const ChildResult result = RunCli(m_batch.Args(ImagePath(), out));

  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{SavingText(*MacAddress::Parse("04:57:55:00:00:00")),
                                      CreationFailedText(out + "/" + m_batch.FileName(0))}));
  std::vector<std::string> untouched;
  for (int device = 1; device < 5; ++device) {
    untouched.push_back(m_batch.FileName(device));
    EXPECT_EQ(ReadFileBytes(out + "/" + m_batch.FileName(device)), earlier.DeviceImage(device));
  }
  EXPECT_EQ(ListNames(out), untouched);
}

}  // namespace
}  // namespace quillmark::test
