// quillmark-cli verify --from-disk reads each file from the disk, not from
// the page cache: straight after a write the files' pages are resident,
// and after the check none of them is, while a check from the cache leaves
// them there. On a loop-mounted ext4, so the folder is on a real block
// device whatever the test folder is.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "english_mode.h"
#include "reliability_test.h"
#include "test_mount.h"

namespace quillmark::test {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;

// Pages of the file in the page cache, by mincore on a mapping that
// touches none of them.
std::size_t ResidentPages(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size == 0)
    return 0;
  const std::size_t size = static_cast<std::size_t>(info.st_size);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED)
    return 0;
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  std::size_t count = 0;
  if (::mincore(map, size, resident.data()) == 0) {
    for (const unsigned char flag : resident)
      count += flag & 1;
  }
  ::munmap(map, size);
  return count;
}

std::size_t ResidentPagesOfBatch(const std::string& out) {
  std::size_t count = 0;
  for (const std::string& name : ListNames(out))
    count += ResidentPages(out + "/" + name);
  return count;
}

using VerifyFromDiskTest = ReliabilityTest;

TEST_F(VerifyFromDiskTest, NoPageOfTheFilesIsCachedAfterwards) {
  const TestMount disk(m_dir.path(), TestMount::Kind::Ext4, 96 * kMiB);
  ASSERT_TRUE(disk.mounted()) << disk.failure();
  const std::string out = disk.mountPoint() + "/out";
  m_batch.deviceCount = 8;
  const ChildResult written = RunCli(m_batch.Args(ImagePath(), out));
  ASSERT_EQ(written.exitCode, 0) << written.err;
  ASSERT_EQ(CountImages(out), 8);
  const std::vector<std::string> check = {"verify", "--image=" + ImagePath(), "--out=" + out,
                                          "--count=8", "--quiet"};
  const std::string summary =
      Said("校验结束：已校验8台，完好8台，失败0台：通过\n",
           "Check finished: 8 devices checked, 8 exact, 0 failed: passed\n");

  // From the cache: the pages stay.
  ASSERT_GT(ResidentPagesOfBatch(out), 0u);
  ChildResult cached = RunCli(check);
  EXPECT_EQ(cached.exitCode, 0) << cached.err;
  EXPECT_EQ(cached.out, summary);
  EXPECT_GT(ResidentPagesOfBatch(out), 0u);

  std::vector<std::string> fromDisk = check;
  fromDisk.push_back("--from-disk");
  const ChildResult result = RunCli(fromDisk);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, summary);
  EXPECT_EQ(ResidentPagesOfBatch(out), 0u);
}

}  // namespace
}  // namespace quillmark::test
