// Writes that cannot complete: the disk fills up in the middle of a batch,
// or a file-size limit cuts every write short. The devices that fit are
// exact, the others have no file under their name (not even an older
// one), and the exit status says the run failed.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "reliability_test.h"
#include "test_mount.h"

namespace quillmark::test {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;

std::uint64_t AvailableBytes(const std::string& path) {
  struct statvfs info {};
  return ::statvfs(path.c_str(), &info) == 0 ? std::uint64_t{info.f_bavail} * info.f_frsize : 0;
}

// Another writer taking the disk's space, as far as it gets.
void TakeSpace(const std::string& path, std::uint64_t bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  const std::vector<char> chunk(kMiB, 'f');
  while (bytes > 0) {
    const std::size_t size = bytes < kMiB ? bytes : kMiB;
    const ssize_t put = ::write(fd, chunk.data(), size);
    if (put <= 0)
      break;
    bytes -= static_cast<std::uint64_t>(put);
  }
  ::close(fd);
}

int CountLinesStartingWith(const std::vector<std::string>& lines, std::string_view prefix) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.rfind(prefix, 0) == 0;
  }));
}

using FullDiskTest = ReliabilityTest;

// The run passes the free-space check; then another writer leaves room for
// two more images and no third.
TEST_F(FullDiskTest, DevicesThatFitAreExactAndTheRestHaveNoFile) {
  const TestMount disk(m_dir.path(), TestMount::Kind::Ext4, 48 * kMiB);
  ASSERT_TRUE(disk.mounted()) << disk.failure();
  const std::string out = disk.mountPoint() + "/out";
  const std::string other = disk.mountPoint() + "/other-writer";
  ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
  // The free-space check wants room for the batch and one image more.
  m_batch.deviceCount = static_cast<int>(AvailableBytes(out) / k4MiB) - 1;
  ASSERT_GE(m_batch.deviceCount, 6);
  const std::string lastName = m_batch.FileName(m_batch.deviceCount - 1);

  // The other writer can only start once the run has shown its first
  // device; on a busy machine the run may write the whole batch before it
  // is paused there. Such a round shows nothing and is run again.
  ChildResult result;
  for (int round = 0; round < 5; ++round) {
    for (const std::string& name : ListNames(out))
      ASSERT_EQ(::unlink((out + "/" + name).c_str()), 0);
    ::unlink(other.c_str());
    WriteFileBytes(out + "/" + lastName, {'o', 'l', 'd'});
    ChildProcess cli(CliCommand(m_batch.Args(ImagePath(), out)));
    ASSERT_NO_FATAL_FAILURE(StartAndPause(cli));
    TakeSpace(other, AvailableBytes(out) - (2 * k4MiB + 2 * kMiB));
    ASSERT_TRUE(cli.Resume());
    result = cli.Finish(kChildTimeout);
    if (result.exitCode != 0)
      break;
  }

  EXPECT_EQ(result.exitCode, 3);
  const FolderState state = InspectOutputFolder(out, m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  const int fitted = static_cast<int>(state.exactDevices.size());
  EXPECT_GE(fitted, 2);
  EXPECT_LT(fitted, m_batch.deviceCount);
  for (int device = 0; device < fitted; ++device)
    EXPECT_EQ(state.exactDevices[device], device);
  const std::vector<std::string> lines = Lines(result.out);
  EXPECT_EQ(CountLinesStartingWith(lines, kWriteFailedPrefix), m_batch.deviceCount - fitted);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), WriteFailedText(out + "/" + lastName));
}

class FileSizeLimitTest : public ReliabilityTest, public testing::WithParamInterface<bool> {};

TEST_P(FileSizeLimitTest, EveryShortWriteLeavesNoImageUnderItsName) {
  m_batch.deviceCount = 3;
  ASSERT_EQ(::mkdir(OutDir().c_str(), 0755), 0);
  // Exact images from an earlier batch: after a failed write they would be
  // taken for this run's output.
  WriteFileBytes(OutDir() + "/" + m_batch.FileName(0), m_batch.DeviceImage(0));
  WriteFileBytes(OutDir() + "/" + m_batch.FileName(2), m_batch.DeviceImage(2));
  std::vector<std::string> args = m_batch.Args(ImagePath(), OutDir());
  if (GetParam())
    args.push_back("--durable");
  ChildOptions options;
  options.fileSizeLimit = k4MiB - 4096;

  const ChildResult result = RunCli(args, options);

  EXPECT_EQ(result.exitCode, 3) << result.err;
  EXPECT_EQ(ListNames(OutDir()), kNothing);
  const std::vector<std::string> lines = Lines(result.out);
  EXPECT_EQ(CountLinesStartingWith(lines, kWriteFailedPrefix), 3);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), WriteFailedText(OutDir() + "/" + m_batch.FileName(2)));
}

INSTANTIATE_TEST_SUITE_P(Writes, FileSizeLimitTest, testing::Bool(),
                         [](const auto& info) { return info.param ? "Durable" : "Plain"; });

}  // namespace
}  // namespace quillmark::test
