// The batch writer on Windows' own file calls: whole batches checked byte
// for byte, the failures a production line meets, and many batches in a
// row on two writing threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch_writer.h"
#include "fixture_image.h"
#include "job_builder.h"
#include "output_folder.h"
#include "recording_host.h"
#include "scratch_dir.h"
#include "win32_path.h"
#include "windows_test_support.h"

namespace quillmark {
namespace {

using test::k16MiB;
using test::k4MiB;

using test::RecordingHost;

// Claims the job's folder as a front end does, then writes the batch.
BatchOutcome WriteBatch(GenerationJob& job, BatchHost& host, PlatformFiles& files,
                        WriterOptions options) {
  FolderClaim claim = ClaimOutputFolder(files, job.outputDirectory);
  EXPECT_NE(claim.folder, nullptr) << claim.refusal;
  if (!claim.folder)
    return {};
  return GenerationWorker(job, host, *claim.folder, options);
}

GenerationJob MakeJob(int devices, int perDevice, std::uint32_t size, std::string directory) {
  return test::MakeJob("04:57:55:00:00:fe", devices, perDevice, size, std::move(directory));
}

// Device d's first address, from 04:57:55:00:00:fe on.
std::vector<std::uint8_t> FirstAddress(int device, int perDevice) {
  const std::uint32_t low = 0xfe + static_cast<std::uint32_t>(device * perDevice);
  return {0x04,
          0x57,
          0x55,
          static_cast<std::uint8_t>(low >> 16),
          static_cast<std::uint8_t>(low >> 8),
          static_cast<std::uint8_t>(low)};
}

std::string Saving(const char* address) {
  return SavingText(*MacAddress::Parse(address));
}

std::string FileName(int device, int perDevice) {
  const std::vector<std::uint8_t> a = FirstAddress(device, perDevice);
  char name[32];
  std::snprintf(name, sizeof name, "fw_%02x%02x%02x_%02x%02x%02x.img", a[0], a[1], a[2], a[3], a[4],
                a[5]);
  return name;
}

void ExpectDeviceFiles(const std::string& folder, int devices, int perDevice, std::uint32_t size) {
  const std::vector<std::uint8_t> image = test::MakeValidImage(size);
  for (int device = 0; device < devices; ++device) {
    const std::string path = folder + "\\" + FileName(device, perDevice);
    const std::vector<std::uint8_t> expected =
        test::ExpectedDeviceImage(image, FirstAddress(device, perDevice), perDevice);
    EXPECT_TRUE(test::ReadFileBytes(path) == expected) << path << " is not the device's image";
  }
}

class WindowsBatchTest : public ::testing::TestWithParam<int> {
 protected:
  WriterOptions Options() const {
    WriterOptions options;
    options.lanes = GetParam();
    return options;
  }

  test::ScratchDir m_dir;
  SystemFiles m_files;
};

TEST_P(WindowsBatchTest, BatchIntoAChineseFolderIsExactAndNamedWithBackslashes) {
  const std::string folder = m_dir.path() + "/输出/";
  ASSERT_TRUE(m_files.MakeDirectory(folder));
  GenerationJob job = MakeJob(6, 2, k4MiB, folder);
  RecordingHost host;
  EXPECT_TRUE(WriteBatch(job, host, m_files, Options()).finished);
  ExpectDeviceFiles(folder, 6, 2, k4MiB);
  EXPECT_EQ(test::WideNames(*ToWide(folder)).size(), 6u);
  EXPECT_EQ(host.calls.front(), SavingText(job.startMac));
  EXPECT_EQ(host.calls.back(), RecordingHost::kFinished);
}

TEST_P(WindowsBatchTest, FilesUnderTheDevicesNamesAreReplaced) {
  test::WriteFileBytes(m_dir / FileName(0, 1), std::vector<std::uint8_t>(k4MiB + 99, 1));
  test::WriteFileBytes(m_dir / ("." + FileName(1, 1) + ".part"), {1, 2, 3});
  GenerationJob job = MakeJob(3, 1, k4MiB, m_dir.path());
  RecordingHost host;
  EXPECT_TRUE(WriteBatch(job, host, m_files, Options()).finished);
  ExpectDeviceFiles(m_dir.path(), 3, 1, k4MiB);
  EXPECT_EQ(m_dir.List().size(), 3u);
}

TEST_P(WindowsBatchTest, AFolderUnderADevicesNameEndsTheRunWithTheCreationText) {
  ASSERT_TRUE(m_files.MakeDirectory(m_dir / FileName(2, 1)));
  GenerationJob job = MakeJob(5, 1, k4MiB, m_dir.path());
  RecordingHost host;
  const BatchOutcome outcome = WriteBatch(job, host, m_files, Options());
  EXPECT_FALSE(outcome.finished);
  EXPECT_EQ(outcome.devicesWritten, 2);
  const std::string failure = CreationFailedText(*FullPath(m_dir.path()) + "\\" + FileName(2, 1));
  EXPECT_EQ(host.calls, (std::vector<std::string>{
                            Saving("04:57:55:00:00:fe"), Saving("04:57:55:00:00:ff"),
                            Saving("04:57:55:00:01:00"), failure, RecordingHost::kUnfinished}));
  ExpectDeviceFiles(m_dir.path(), 2, 1, k4MiB);
  EXPECT_EQ(m_dir.List().size(), 3u);  // no temporary file of a device ahead stays
}

TEST_P(WindowsBatchTest, AnImageHeldOpenByAnotherProgramIsReportedAndKept) {
  const std::vector<std::uint8_t> old{'o', 'l', 'd'};
  test::WriteFileBytes(m_dir / FileName(1, 1), old);
  // A reader that does not share deletion: the replacing move must fail.
  const test::OpenedFile held(m_dir / FileName(1, 1), FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(held.IsOpen());
  GenerationJob job = MakeJob(3, 1, k4MiB, m_dir.path());
  RecordingHost host;
  const BatchOutcome outcome = WriteBatch(job, host, m_files, Options());
  EXPECT_FALSE(outcome.finished);
  EXPECT_EQ(outcome.devicesWritten, 1);
  EXPECT_EQ(host.calls.at(2), CreationFailedText(*FullPath(m_dir.path()) + "\\" + FileName(1, 1)));
  EXPECT_EQ(test::ReadFileBytes(m_dir / FileName(1, 1)), old);
  ExpectDeviceFiles(m_dir.path(), 1, 1, k4MiB);
  EXPECT_EQ(m_dir.List().size(), 2u);  // nothing staged is left behind
}

// A real full volume: a 10 MiB file system (tmpfs) that the test's set-up
// mounts holds two 4 MiB images, not three.
TEST_P(WindowsBatchTest, AFullVolumeLeavesNoImageUnderTheDevicesName) {
  const char* volume = std::getenv("QUILLMARK_SMALL_VOLUME");
  ASSERT_NE(volume, nullptr) << "set by ctest: a 10 MiB volume";
  const std::string folder = std::string(volume) + "\\batch-" + std::to_string(GetParam());
  std::filesystem::remove_all(*ToWide(folder));
  ASSERT_TRUE(m_files.MakeDirectory(folder));
  test::WriteFileBytes(folder + "\\" + FileName(2, 1), {1, 2, 3});  // an older image
  GenerationJob job = MakeJob(3, 1, k4MiB, folder);
  RecordingHost host;
  const BatchOutcome outcome = WriteBatch(job, host, m_files, Options());
  EXPECT_FALSE(outcome.finished);
  EXPECT_EQ(outcome.devicesFailed, 1);
  const std::string failure = WriteFailedText(*FullPath(folder) + "\\" + FileName(2, 1));
  EXPECT_EQ(host.calls.at(3), failure);
  EXPECT_EQ(host.calls.back(), RecordingHost::kUnfinished);
  ExpectDeviceFiles(folder, 2, 1, k4MiB);
  EXPECT_EQ(test::WideNames(*ToWide(folder)),
            (std::vector<std::wstring>{*ToWide(FileName(0, 1)), *ToWide(FileName(1, 1))}));
  std::filesystem::remove_all(*ToWide(folder));
}

INSTANTIATE_TEST_SUITE_P(Lanes, WindowsBatchTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 1 ? "OneLane" : "TwoLanes";
                         });

// The writing threads hand devices to one another twice per device; a
// primitive that loses a wake-up under mingw-w64's threads stops a batch
// for good. Twenty batches of fifty 16 MiB images, each checked by count
// and size; ctest's time-out is what catches a hang.
TEST(WindowsManyBatchesTest, TwentyBatchesOfFiftyOnTwoLanesAllFinish) {
  const char* volume = std::getenv("QUILLMARK_ROOMY_VOLUME");
  ASSERT_NE(volume, nullptr) << "set by ctest: a volume in memory";
  const std::wstring folder = *ToWide(std::string(volume) + "\\many");
  SystemFiles files;
  for (int batch = 0; batch < 20; ++batch) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    GenerationJob job = MakeJob(50, 1, k16MiB, ToUtf8(folder));
    RecordingHost host;
    const BatchOutcome outcome = WriteBatch(job, host, files, WriterOptions{});
    ASSERT_TRUE(outcome.finished) << "batch " << batch;
    const std::vector<std::wstring> names = test::WideNames(folder);
    ASSERT_EQ(names.size(), 50u);
    for (const std::wstring& name : names)
      EXPECT_EQ(std::filesystem::file_size(folder + L"\\" + name), k16MiB);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quillmark
