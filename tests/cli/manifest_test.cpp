// The manifest that label printers read, and the dry run that prints the
// plan of a batch without writing it.
#include "cli_fixture.h"

namespace quillmark::test {
namespace {

using ManifestTest = CliTest;

std::string ReadText(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

const char* const kThreeDevicesTwoEach =
    "file,mac1,mac2\n"
    "fw_045755_0000fe.img,04:57:55:00:00:fe,04:57:55:00:00:ff\n"
    "fw_045755_000100.img,04:57:55:00:01:00,04:57:55:00:01:01\n"
    "fw_045755_000102.img,04:57:55:00:01:02,04:57:55:00:01:03\n";

TEST_F(ManifestTest, RunReplacesTheManifestWithTheWrittenDevices) {
  WriteFileBytes(m_dir / "list.csv", {'o', 'l', 'd', '\n'});
  const ChildResult result = Run({"--image=image.img", "--start-mac=04:57:55:00:00:fe", "--count=3",
                                  "--macs-per-device=2", "--manifest=list.csv", "--quiet"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadText(m_dir / "list.csv"), kThreeDevicesTwoEach);
  // Written under a temporary name and renamed: nothing else is left.
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"image.img", "list.csv", "out"}));
}

// A file under the manifest's temporary name, there before the run, is
// not the run's to remove: neither the check before the first device nor
// the manifest's own write touches it.
TEST_F(ManifestTest, AFileUnderTheTemporaryNameStays) {
  WriteFileBytes(m_dir / ".list.csv.part", {'m', 'i', 'n', 'e'});
  const ChildResult result = Run({"--image=image.img", "--start-mac=04:57:55:00:00:fe", "--count=3",
                                  "--macs-per-device=2", "--manifest=list.csv", "--quiet"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadText(m_dir / "list.csv"), kThreeDevicesTwoEach);
  EXPECT_EQ(ReadText(m_dir / ".list.csv.part"), "mine");
  EXPECT_EQ(m_dir.List(),
            (std::vector<std::string>{".list.csv.part", "image.img", "list.csv", "out"}));
}

TEST_F(ManifestTest, DryRunPrintsThePlanAndWritesNoImage) {
  const ChildResult result = Run({"--image=image.img", "--start-mac=04:57:55:00:00:fe", "--count=3",
                                  "--macs-per-device=2", "--dry-run"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kThreeDevicesTwoEach);
  // The plan changes nothing, not even a folder.
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"image.img"}));
}

// A manifest lists the files written; a plan in one would label devices
// that have no image. The pair is refused before anything is touched.
TEST_F(ManifestTest, DryRunRefusesAManifestFile) {
  WriteFileBytes(m_dir / "plan.csv", {'o', 'l', 'd', '\n'});
  const ChildResult result =
      Run({"--image=image.img", "--count=3", "--manifest=plan.csv", "--dry-run"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(
      result.err,
      Said("quillmark-cli: --dry-run 不能与 --manifest 同用：计划只打印在标准输出上；用 --help "
           "查看用法\n",
           "quillmark-cli: --dry-run cannot be given with --manifest: the plan is only printed "
           "on standard output; see --help for the usage\n"));
  EXPECT_EQ(ReadText(m_dir / "plan.csv"), "old\n");
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"image.img", "plan.csv"}));
}

TEST_F(ManifestTest, DryRunWithTheDialogsDefaultsPlans255Devices) {
  const ChildResult result = Run({"--image=image.img", "--dry-run"});
  EXPECT_EQ(result.exitCode, 0);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 256u);
  EXPECT_EQ(lines[0], "file,mac1");
  EXPECT_EQ(lines[1], "fw_045755_000000.img,04:57:55:00:00:00");
  EXPECT_EQ(lines[255], "fw_045755_0000fe.img,04:57:55:00:00:fe");
}

}  // namespace
}  // namespace quillmark::test
