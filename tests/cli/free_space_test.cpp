// The free-space check before device 1, on a small file system of its own.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <memory>

#include "cli_fixture.h"
#include "space_check.h"
#include "test_mount.h"

namespace quillmark::test {
namespace {

constexpr std::uint64_t kVolumeSize = 16 << 20;

// The refusal before device 1: the two figures the check compared, what
// the batch needs with the image being written and what it counted as
// available, free space and the files the batch replaces.
std::string NoSpace(const char* needed, const char* counted) {
  return Said("输出目录空间不足！需要", "Not enough space in the output folder: ") + needed +
         Said("字节（整批映像及一个正在写入的映像），可用",
              " bytes needed (the batch and the one image being written), ") +
         counted +
         Said("字节（剩余空间及本批将替换的文件）\n",
              " available (free space and the files the batch replaces).\n");
}

// The tests run the tool in a scratch folder; each mounts its volume at
// "mnt" in it.
class MountedVolumeTest : public CliTest {
 protected:
  void Mount(TestMount::Kind kind, std::uint64_t size) {
    m_volume = std::make_unique<TestMount>(m_dir.path(), kind, size);
    ASSERT_TRUE(m_volume->mounted()) << m_volume->failure();
  }

  std::unique_ptr<TestMount> m_volume;
};

class FreeSpaceTest : public MountedVolumeTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Mount(TestMount::Kind::Tmpfs, kVolumeSize));
    ASSERT_EQ(::mkdir((m_dir / "mnt/out").c_str(), 0777), 0);
    ASSERT_EQ(Available(), kVolumeSize);
  }

  std::uint64_t Available() const {
    struct statvfs info {};
    if (::statvfs((m_dir / "mnt").c_str(), &info) != 0)
      return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  }

  ChildResult RunOnVolume(int count, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--image=image.img", "--out=mnt/out",
                                  "--count=" + std::to_string(count)};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }
};

TEST_F(FreeSpaceTest, RefusesBeforeAnyDeviceUnlessDryRun) {
  // Four images and the temporary file need 20 MiB of the 16: the line
  // names those two figures, never a need the volume would meet.
  const ChildResult refused = RunOnVolume(4);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            Said("输出目录空间不足！需要20971520字节（整批映像及一个正在写入的映像），"
                 "可用16777216字节（剩余空间及本批将替换的文件）\n",
                 "Not enough space in the output folder: 20971520 bytes needed (the batch and "
                 "the one image being written), 16777216 available (free space and the files "
                 "the batch replaces).\n"));
  EXPECT_EQ(m_dir.List("mnt/out"), std::vector<std::string>{});

  const ChildResult planned = RunOnVolume(4, {"--dry-run"});
  EXPECT_EQ(planned.exitCode, 0);
  EXPECT_EQ(Lines(planned.out).size(), 5u);
}

// A refused request leaves no trace: the folder it created for the batch
// goes again, a folder that was there stays, empty or not.
TEST_F(FreeSpaceTest, ARefusedRunRemovesOnlyTheFolderItCreated) {
  const std::string refusal = NoSpace("20971520", "16777216");
  for (const char* folder : {"mnt/new", "mnt/new/", "mnt/out"}) {
    SCOPED_TRACE(folder);
    const ChildResult refused =
        Run({"--image=image.img", std::string("--out=") + folder, "--count=4"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, refusal);
    EXPECT_EQ(m_dir.List("mnt"), (std::vector<std::string>{"out"}));
    EXPECT_EQ(m_dir.List("mnt/out"), std::vector<std::string>{});
  }
  WriteFileBytes(m_dir / "mnt/out/notes.txt", {'x'});
  EXPECT_EQ(RunOnVolume(4).exitCode, 1);
  EXPECT_EQ(m_dir.List("mnt/out"), std::vector<std::string>{"notes.txt"});
}

// The files a batch replaces are freed one by one as it goes, so they
// count as space; files it does not replace do not.
TEST_F(FreeSpaceTest, CountsTheSpaceOfTheFilesItReplaces) {
  EXPECT_EQ(RunOnVolume(3, {"--quiet"}).exitCode, 0);  // exactly fits: 3 images and the temporary
  ASSERT_EQ(Available(), kVolumeSize / 4);
  const ChildResult again = RunOnVolume(3, {"--quiet"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, kFinishedOutput);

  // 4 MiB free and the three files replaced: 16 MiB of the 20 needed.
  const ChildResult more = RunOnVolume(4);
  EXPECT_EQ(more.exitCode, 1);
  EXPECT_EQ(more.err, NoSpace("20971520", "16777216"));
}

// Only what replacing a file really gives back counts: a sparse file under
// a device's name frees next to nothing, and a file another link keeps
// frees nothing at all.
TEST_F(FreeSpaceTest, SparseOrLinkedOldFilesDoNotCountAsSpace) {
  EXPECT_EQ(RunOnVolume(3, {"--quiet"}).exitCode, 0);
  ASSERT_EQ(::unlink((m_dir / "mnt/out/fw_045755_000000.img").c_str()), 0);
  WriteFileBytes(m_dir / "mnt/out/fw_045755_000000.img", {});
  ASSERT_EQ(::truncate((m_dir / "mnt/out/fw_045755_000000.img").c_str(), 4 << 20), 0);
  ASSERT_EQ(::link((m_dir / "mnt/out/fw_045755_000001.img").c_str(), (m_dir / "mnt/keep").c_str()),
            0);
  // Free: 8 MiB; of the files replaced only device 3's gives back its
  // 4 MiB. Needed: three images and the temporary one, 16 MiB.
  const ChildResult refused = RunOnVolume(3);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, NoSpace("16777216", "12582912"));
}

class RepeatedFailureTest : public FreeSpaceTest, public testing::WithParamInterface<bool> {};

// The volume is full, but device 1's old file is big enough for the
// batch. Its write fails, the stale file goes, and device 2 fits: the
// failure, replaced by device 2's saving text, is shown again at the end.
// Quiet output has no saving text between, so it shows it once.
TEST_P(RepeatedFailureTest, LastLineIsTheFailureAndQuietNeverRepeatsALine) {
  const bool quiet = GetParam();
  WriteFileBytes(m_dir / "mnt/filler", std::vector<std::uint8_t>(kVolumeSize / 4));
  WriteFileBytes(m_dir / "mnt/out/fw_045755_000000.img",
                 std::vector<std::uint8_t>(kVolumeSize / 4 * 3));
  ASSERT_EQ(Available(), 0u);

  std::vector<std::string> more{"--manifest=list.csv"};
  if (quiet)
    more.push_back("--quiet");
  const ChildResult result = RunOnVolume(2, more);
  EXPECT_EQ(result.exitCode, 3);
  const std::string failure = WriteFailedText(m_root + "/mnt/out/fw_045755_000000.img");
  if (quiet) {
    EXPECT_EQ(Lines(result.out), std::vector<std::string>{failure});
  } else {
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{Saving("04:57:55:00:00:00"), failure,
                                                           Saving("04:57:55:00:00:01"), failure}));
  }
  EXPECT_EQ(m_dir.List("mnt/out"), std::vector<std::string>{"fw_045755_000001.img"});
  EXPECT_EQ(ReadFileBytes(m_dir / "mnt/out/fw_045755_000001.img"), DeviceImage(0x045755000001, 1));
  const std::vector<std::uint8_t> manifest = ReadFileBytes(m_dir / "list.csv");
  EXPECT_EQ(std::string(manifest.begin(), manifest.end()),
            "file,mac1\nfw_045755_000001.img,04:57:55:00:00:01\n");
}

INSTANTIATE_TEST_SUITE_P(QuietOrNot, RepeatedFailureTest, testing::Bool());

// Where files share their data (an XFS made with reflinks), each device's
// file takes only the block its records are written into and its own
// metadata, about 5 KiB: a batch far larger than the volume fits, and the
// check counts that, not a whole 64 KiB block per device.
class SharedDataVolumeTest : public MountedVolumeTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Mount(TestMount::Kind::Xfs, 300 * kMiB));
  }

  // Fills the volume until bytes remain for the batch.
  void LeaveFree(std::uint64_t bytes) {
    struct statvfs info {};
    ASSERT_EQ(::statvfs((m_dir / "mnt").c_str(), &info), 0);
    const std::uint64_t available = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    ASSERT_GT(available, bytes);
    const int fd =
        ::open((m_dir / "mnt/filler").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const int allocated = ::posix_fallocate(fd, 0, static_cast<off_t>(available - bytes));
    ::close(fd);
    ASSERT_EQ(allocated, 0);
  }

  ChildResult RunFourPerDevice(int count) {
    return Run({"--image=image.img", "--out=mnt/out", "--count=" + std::to_string(count),
                "--macs-per-device=4", "--quiet"});
  }

  static constexpr std::uint64_t kMiB = 1 << 20;
};

TEST_F(SharedDataVolumeTest, BatchLargerThanTheVolumeIsWrittenWhole) {
  // 400 images of 4 MiB on a 300 MiB volume.
  const ChildResult run = Run({"--image=image.img", "--out=mnt/out", "--count=400", "--quiet"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, kFinishedOutput);
  EXPECT_EQ(m_dir.List("mnt/out").size(), 400u);
  EXPECT_TRUE(ReadFileBytes(m_dir / "mnt/out/fw_045755_000000.img") ==
              DeviceImage(0x045755000000, 1));
  EXPECT_TRUE(ReadFileBytes(m_dir / "mnt/out/fw_045755_00018f.img") ==
              DeviceImage(0x04575500018f, 1));
}

// 4000 devices with 40 MiB free: a whole 64 KiB block for each would be
// 254 MiB, refused until the check counted what a clone really takes;
// the files take about 23 MiB. 10000 devices cannot fit at all: their
// record blocks alone take 39 MiB, beside the image and the inodes.
TEST_F(SharedDataVolumeTest, CountsWhatEachCloneTakesAndRefusesWhatCannotFit) {
  ASSERT_NO_FATAL_FAILURE(LeaveFree(40 * kMiB));
  const ChildResult refused = RunFourPerDevice(10000);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err.rfind(
                Said("输出目录空间不足！需要", "Not enough space in the output folder: "), 0),
            0u)
      << refused.err;
  EXPECT_NE(refused.err.find(Said("字节（一个映像及每台设备自己的数据块），可用",
                                  " bytes needed (one image and each device's own blocks), ")),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(m_dir.List("mnt/out"), std::vector<std::string>{});

  const ChildResult run = RunFourPerDevice(4000);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, kFinishedOutput);
  const std::vector<std::string> names = m_dir.List("mnt/out");
  EXPECT_EQ(names.size(), 4000u);
  EXPECT_EQ(names.back(), "fw_045755_003e7c.img");  // the 4000th device's first address
  EXPECT_TRUE(ReadFileBytes(m_dir / "mnt/out/fw_045755_000000.img") ==
              DeviceImage(0x045755000000, 4));
  EXPECT_TRUE(ReadFileBytes(m_dir / "mnt/out/fw_045755_003e7c.img") ==
              DeviceImage(0x045755003e7c, 4));
}

// A volume that gives no block figures at all (a tmpfs without a size, as
// some FUSE file systems do) is not a full one: the check is skipped and
// the tool says so.
class NoFiguresVolumeTest : public MountedVolumeTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Mount(TestMount::Kind::Tmpfs, 0));  // size=0: no limit, no figures
    struct statvfs info {};
    ASSERT_EQ(::statvfs((m_dir / "mnt").c_str(), &info), 0);
    ASSERT_EQ(info.f_blocks, 0u);
  }
};

TEST_F(NoFiguresVolumeTest, WritesTheBatchAndSaysTheCheckWasSkipped) {
  const ChildResult run = Run({"--image=image.img", "--out=mnt/out", "--count=3", "--quiet"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, std::string(kSpaceNotCheckedText) + "\n");
  EXPECT_EQ(run.out, kFinishedOutput);
  EXPECT_EQ(ReadFileBytes(m_dir / "mnt/out/fw_045755_000002.img"), DeviceImage(0x045755000002, 1));
}

}  // namespace
}  // namespace quillmark::test
