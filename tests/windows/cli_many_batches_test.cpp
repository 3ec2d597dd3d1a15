// quillmark-cli.exe run batch after batch: the write-ahead lanes once
// waited on a primitive that, under mingw-w64's threads, stopped a batch
// for good now and then. Each run must end, whole; a run that hangs is
// killed after its time-out and named.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fixture_image.h"
#include "scratch_dir.h"
#include "status_texts.h"
#include "win32_path.h"
#include "windows_test_support.h"

namespace quillmark {
namespace {

TEST(CliManyBatchesTest, TwentyRunsOfFiftySixteenMiBImagesAllEndWhole) {
  const char* volume = std::getenv("QUILLMARK_ROOMY_VOLUME");
  ASSERT_NE(volume, nullptr) << "set by ctest: a volume in memory";
  const std::string folder = std::string(volume) + "\\cli-many";
  std::filesystem::remove_all(*ToWide(folder));
  ASSERT_TRUE(std::filesystem::create_directory(*ToWide(folder)));
  test::ScratchDir scratch;
  const std::string image = *FullPath(scratch.path()) + "\\image.img";
  test::WriteFileBytes(image, test::MakeValidImage(test::k16MiB));

  for (int run = 1; run <= 20; ++run) {
    const test::ProgramResult result =
        test::RunProgram(test::ProgramBeside(L"quillmark-cli.exe"),
                         {"--image", image, "--out", folder, "--count=50", "--quiet"}, 60000);
    ASSERT_TRUE(result.ended) << "run " << run << " did not end within a minute";
    ASSERT_EQ(result.exitCode, 0u) << "run " << run << ": " << result.err;
    ASSERT_EQ(result.out, std::string(kRunFinishedText) + "\n") << "run " << run;
    ASSERT_EQ(test::WideNames(*ToWide(folder)).size(), 50u) << "run " << run;
  }
  for (const char* name : {"fw_045755_000000.img", "fw_045755_000031.img"}) {
    EXPECT_EQ(std::filesystem::file_size(*ToWide(folder + "\\" + name)), test::k16MiB) << name;
  }
  std::filesystem::remove_all(*ToWide(folder));
}

}  // namespace
}  // namespace quillmark
