// A folder that already holds "fw_*.img" files of another lot is written
// into as before, but said once, before device 1: a station flashing the
// folder would flash them too. A dry run says the same and makes nothing.
#include <sys/stat.h>

#include <filesystem>

#include "cli_fixture.h"

namespace quillmark::test {
namespace {

class OtherLotTest : public CliTest {};

const std::vector<std::string> kLotB = {"--image=image.img", "--start-mac=04:57:55:00:10:00",
                                        "--count=3", "--quiet"};

std::vector<std::string> With(std::vector<std::string> args, const std::string& more) {
  args.push_back(more);
  return args;
}

TEST_F(OtherLotTest, AWriteIntoAFolderOfAnotherLotWarnsOnceAndGoesOn) {
  ASSERT_EQ(::mkdir(Out("").c_str(), 0777), 0);
  WriteFileBytes(Out("fw_045755_009999.img"), {1});
  WriteFileBytes(Out("fw_045755_000000.img"), DeviceImage(0x045755000000, 1));
  WriteFileBytes(Out("notes.txt"), {1});
  const std::string warning =
      Said("警告：输出目录 out 中已有2个不属于本批的 fw_*.img 文件，烧录整个目录时会一起烧录\n",
           "Warning: the output folder out already holds 2 fw_*.img files not of this batch; "
           "flashing the whole folder would flash them too\n");

  const ChildResult dry = Run(With(kLotB, "--dry-run"));
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_EQ(dry.err, warning);
  EXPECT_EQ(Lines(dry.out).size(), 4u);

  const ChildResult write = Run(kLotB);
  EXPECT_EQ(write.exitCode, 0);
  EXPECT_EQ(write.err, warning);
  EXPECT_EQ(m_dir.List("out"),
            (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_001000.img",
                                      "fw_045755_001001.img", "fw_045755_001002.img",
                                      "fw_045755_009999.img", "notes.txt"}));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_001001.img")), DeviceImage(0x045755001001, 1));

  // The same batch again: its own files are not another lot's.
  std::filesystem::remove(Out("fw_045755_009999.img"));
  std::filesystem::remove(Out("fw_045755_000000.img"));
  const ChildResult rerun = Run(kLotB);
  EXPECT_EQ(rerun.exitCode, 0);
  EXPECT_EQ(rerun.err, "");
}

TEST_F(OtherLotTest, ADryRunCreatesNoFolder) {
  const ChildResult dry = Run(With(kLotB, "--dry-run"));
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_EQ(dry.err, "");
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"image.img"});

  // Judged as the write would judge the folder, still creating nothing.
  WriteFileBytes(m_dir / "file", {1});
  const struct {
    const char* out;
    int exitCode;
  } cases[] = {{"--out=new", 0},
               {"--out=new/", 0},
               {"--out=file", 1},
               {"--out=missing/new", 1},
               {"--out=file/new", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    const ChildResult result = Run(With(With(kLotB, "--dry-run"), c.out));
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(Lines(result.err).size(), c.exitCode == 0 ? 0u : 2u) << result.err;
    if (c.exitCode != 0) {
      EXPECT_EQ(Lines(result.err).back(),
                Said("输出目录错误！", "The output folder cannot be used."));
    }
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"file", "image.img"}));
  }
}

TEST_F(OtherLotTest, ABatchPastItsVendorPrefixIsWrittenWithAWarning) {
  const std::string warning = Said(
      "警告：本批地址越过起始地址的前三个字节（厂商前缀）："
      "04:57:55:ff:ff:ff 至 04:57:56:00:00:00\n",
      "Warning: the batch's addresses run past the first three bytes of the start address "
      "(the vendor prefix): 04:57:55:ff:ff:ff to 04:57:56:00:00:00\n");
  const std::vector<std::string> args = {"--image=image.img", "--start-mac=04:57:55:ff:ff:ff",
                                         "--count=2", "--quiet"};
  const ChildResult dry = Run(With(args, "--dry-run"));
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_EQ(dry.err, warning);
  const ChildResult write = Run(args);
  EXPECT_EQ(write.exitCode, 0);
  EXPECT_EQ(write.err, warning);
  EXPECT_EQ(m_dir.List("out"),
            (std::vector<std::string>{"fw_045755_ffffff.img", "fw_045756_000000.img"}));
  // Up to the prefix's last address: nothing to say.
  const ChildResult inside = Run({"--image=image.img", "--start-mac=04:57:55:ff:ff:fe", "--count=1",
                                  "--macs-per-device=2", "--quiet", "--out=in"});
  EXPECT_EQ(inside.exitCode, 0);
  EXPECT_EQ(inside.err, "");
}

}  // namespace
}  // namespace quillmark::test
