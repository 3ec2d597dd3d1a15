#include "job_acceptance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "fixture_image.h"
#include "memory_files.h"
#include "scratch_dir.h"

namespace quillmark {
namespace {

using test::k16MiB;
using test::k4MiB;
using test::k8MiB;
using test::MakeValidImage;
using test::ScratchDir;

class JobAcceptanceTest : public testing::Test {
 protected:
  void SetUp() override {
    m_texts = {"04:57:55:00:00:00", "255", "1", m_dir / "image.img", m_dir / "out", ""};
    m_defaults = m_texts;
    test::WriteFileBytes(m_defaults.imagePath, MakeValidImage(k4MiB));
    test::WriteFileBytes(m_dir / "loaded.img", MakeValidImage(k4MiB));
  }
  JobVerdict Accept() { return AcceptJobRequest(m_job, m_texts, m_files); }
  void ExpectRejected(const char* message) {
    const JobVerdict verdict = Accept();
    EXPECT_FALSE(verdict.accepted);
    EXPECT_EQ(verdict.message, message);
    EXPECT_EQ(verdict.style, MessageStyle::Plain);
  }
  // An accepted request leaves an image in the job, so each case below
  // also shows that the next request drops it before testing anything.
  void LoadAnImageFirst() {
    JobRequestTexts loaded = m_defaults;
    loaded.imagePath = m_dir / "loaded.img";
    ASSERT_TRUE(AcceptJobRequest(m_job, loaded, m_files).accepted);
    ASSERT_NE(m_job.imageBytes, nullptr);
  }

  ScratchDir m_dir;
  SystemFiles m_files;
  GenerationJob m_job;
  JobRequestTexts m_texts;
  JobRequestTexts m_defaults;
};

TEST_F(JobAcceptanceTest, AcceptsTheDefaultsAndLoadsTheImageWhole) {
  const JobVerdict verdict = Accept();
  ASSERT_TRUE(verdict.accepted) << verdict.message;
  EXPECT_EQ(m_job.startMac, *MacAddress::Parse("04:57:55:00:00:00"));
  EXPECT_EQ(m_job.deviceCount, 255);
  EXPECT_EQ(m_job.macsPerDevice, 1);
  EXPECT_EQ(m_job.imageSize, std::int32_t(k4MiB));
  EXPECT_EQ(m_job.outputDirectory, m_dir / "out");
  const std::vector<std::uint8_t> expected = MakeValidImage(k4MiB);
  ASSERT_NE(m_job.imageBytes, nullptr);
  EXPECT_EQ(std::memcmp(m_job.imageBytes.get(), expected.data(), k4MiB), 0);
  EXPECT_TRUE(m_files.IsDirectory(m_dir / "out"));
}

TEST_F(JobAcceptanceTest, AcceptsEachImageSize) {
  for (std::uint32_t size : {k4MiB, k8MiB, k16MiB}) {
    test::WriteFileBytes(m_texts.imagePath, MakeValidImage(size));
    ASSERT_TRUE(Accept().accepted) << size;
    EXPECT_EQ(m_job.imageSize, std::int32_t(size));
  }
}

TEST_F(JobAcceptanceTest, FieldTextsAreCheckedInOrderWithTheirMessages) {
  struct Case {
    JobRequestTexts change;  // empty fields keep the defaults
    const char* message;     // nullptr: accepted
  } cases[] = {
      {{"", "", "", "", "", ""}, nullptr},
      {{"04:57:55:00:00", "", "", "", "", ""}, "起始MAC地址输入错误！"},
      {{"05:57:55:00:00:00", "", "", "", "", ""}, "起始MAC地址输入错误！"},
      {{"04:ff:ff:00:00:00", "", "", "", "", ""}, "起始MAC地址输入错误！"},
      {{"x", "0", "9", "/nonexistent", "", ""}, "起始MAC地址输入错误！"},
      {{"", "0", "", "", "", ""}, "生成数量输入错误！"},
      {{"", "-3", "", "", "", ""}, "生成数量输入错误！"},
      {{"", "65536", "", "", "", ""}, "生成数量输入错误！"},
      {{"", " ", "", "", "", ""}, "生成数量输入错误！"},
      {{"", "abc", "", "", "", ""}, "生成数量输入错误！"},
      {{"", "123456789012", "", "", "", ""}, "生成数量输入错误！"},
      {{"", "4294967297", "", "", "", ""}, "生成数量输入错误！"},
      {{"", "65535", "", "", "", ""}, nullptr},
      {{"", " 12", "", "", "", ""}, nullptr},
      {{"", "+7", "", "", "", ""}, nullptr},
      {{"", "12abc", "0", "", "", ""}, "每设备分配MAC数量错误！"},
      {{"", "", "5", "", "", ""}, "每设备分配MAC数量错误！"},
      {{"", "", "4", "", "", ""}, nullptr},
      {{"", "", "1.9", "", "", ""}, nullptr},
      {{"", "", "", "（请选择）", "", ""}, "读取文件错误！"},
  };
  const JobRequestTexts& defaults = m_defaults;
  for (const Case& c : cases) {
    const auto pick = [](const std::string& changed, const std::string& fallback) {
      return changed.empty() ? fallback : changed;
    };
    m_texts = {pick(c.change.startMac, defaults.startMac),
               pick(c.change.deviceCount, defaults.deviceCount),
               pick(c.change.macsPerDevice, defaults.macsPerDevice),
               pick(c.change.imagePath, defaults.imagePath),
               defaults.outputDirectory,
               ""};
    if (c.change.deviceCount == " ")
      m_texts.deviceCount = "";
    LoadAnImageFirst();
    const JobVerdict verdict = Accept();
    SCOPED_TRACE(testing::Message() << c.change.startMac << "|" << c.change.deviceCount << "|"
                                    << c.change.macsPerDevice << "|" << c.change.imagePath);
    if (c.message == nullptr) {
      EXPECT_TRUE(verdict.accepted) << verdict.message;
    } else {
      EXPECT_FALSE(verdict.accepted);
      EXPECT_EQ(verdict.message, c.message);
      EXPECT_EQ(m_job.imageBytes, nullptr);
    }
  }
}

TEST_F(JobAcceptanceTest, CountsAreStoredAsRead) {
  m_texts.deviceCount = " 12abc";
  m_texts.macsPerDevice = "1.9";
  ASSERT_TRUE(Accept().accepted);
  EXPECT_EQ(m_job.deviceCount, 12);
  EXPECT_EQ(m_job.macsPerDevice, 1);
}

TEST_F(JobAcceptanceTest, WrongSizesShowTheWholeSize) {
  struct Case {
    off_t size;
    const char* message;
  } cases[] = {
      {0, "文件大小错误！0"},
      {k4MiB + 1, "文件大小错误！4194305"},
      {k4MiB - 1, "文件大小错误！4194303"},
      // Its low 32 bits read as 4 MiB; the whole size must be refused.
      {off_t{1} << 32 | k4MiB, "文件大小错误！4299161600"},
  };
  for (const Case& c : cases) {
    test::WriteFileBytes(m_texts.imagePath, {});
    ASSERT_EQ(::truncate(m_texts.imagePath.c_str(), c.size), 0);
    LoadAnImageFirst();
    ExpectRejected(c.message);
    EXPECT_EQ(m_job.imageBytes, nullptr);
  }
}

TEST_F(JobAcceptanceTest, AnythingButARegularFileIsRefusedAtOnce) {
  const std::string fifo = m_dir / "fifo.img";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, m_dir.path(), std::string("/dev/null"),
                                  std::string("/dev/zero"), m_dir / "missing.img"}) {
    m_texts.imagePath = path;
    ExpectRejected("读取文件错误！");
  }
}

TEST_F(JobAcceptanceTest, EachSignatureByteIsChecked) {
  const std::uint32_t offsets[] = {0x1C000, 0x1C001, 0x1C060, 0x20000, 0x20001, 0x20002, 0x20003};
  for (std::uint32_t offset : offsets) {
    std::vector<std::uint8_t> image = MakeValidImage(k4MiB);
    image[offset] ^= 0x01;
    test::WriteFileBytes(m_texts.imagePath, image);
    ExpectRejected("无法解析的文件！");
    EXPECT_EQ(m_job.imageBytes, nullptr) << std::hex << offset;
  }
}

TEST_F(JobAcceptanceTest, LinkBuildsMustNotBeOlderThanTheOldestSupported) {
  struct Case {
    const char* text;
    std::uint32_t stamp;
    bool accepted;
  } cases[] = {
      {"link", 0x59F54AFF, false}, {"link", 0x00000000, false},  {"link", 0x59F54B00, true},
      {"link", 0xFFFFFFFF, true},  {"linked", 0x00000000, true}, {"Link", 0x00000000, true},
      {"lin", 0x00000000, true},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image = MakeValidImage(k8MiB);
    test::SetLinkStamp(image, c.text, c.stamp);
    test::WriteFileBytes(m_texts.imagePath, image);
    const JobVerdict verdict = Accept();
    EXPECT_EQ(verdict.accepted, c.accepted) << c.text << " " << std::hex << c.stamp;
    if (!c.accepted) {
      EXPECT_EQ(verdict.message, "解析文件出错！");
      EXPECT_EQ(m_job.imageBytes, nullptr);
    }
  }
}

TEST_F(JobAcceptanceTest, OutputDirectoryIsCreatedOnceWithoutItsTrailingSeparator) {
  m_texts.outputDirectory = m_dir / "made/";
  ASSERT_TRUE(Accept().accepted);
  EXPECT_TRUE(m_files.IsDirectory(m_dir / "made"));
  EXPECT_EQ(m_job.outputDirectory, m_dir / "made/");

  // An existing directory is used as it is.
  test::WriteFileBytes(m_dir / "made/keep", {1, 2, 3});
  ASSERT_TRUE(Accept().accepted);
  EXPECT_EQ(test::ReadFileBytes(m_dir / "made/keep").size(), 3u);
}

TEST_F(JobAcceptanceTest, UnusableOutputDirectoryKeepsTheImageUntilTheNextRequest) {
  test::WriteFileBytes(m_dir / "a-file", {1});
  for (const std::string& directory : {m_dir / "missing/parent", m_dir / "a-file", std::string(),
                                       std::string("/"), m_dir / "missing/parent/"}) {
    m_texts.outputDirectory = directory;
    ExpectRejected("输出目录错误！");
    EXPECT_NE(m_job.imageBytes, nullptr) << directory;
    EXPECT_EQ(m_job.imageSize, std::int32_t(k4MiB));
  }
  m_texts.startMac = "bad";
  ExpectRejected("起始MAC地址输入错误！");
  EXPECT_EQ(m_job.imageBytes, nullptr);
}

// Faults the machine cannot make on demand, through an in-memory seam.
class JobAcceptanceFaultTest : public testing::Test {
 protected:
  JobAcceptanceFaultTest() {
    m_files.files["image"] = MakeValidImage(k4MiB);
    m_files.directories.insert("out");
  }
  JobVerdict Accept(const char* directory = "out") {
    return AcceptJobRequest(m_job, {"04:57:55:00:00:00", "1", "1", "image", directory, ""},
                            m_files);
  }

  test::MemoryFiles m_files;
  GenerationJob m_job;
};

TEST_F(JobAcceptanceFaultTest, OutOfMemoryIsAWarningAndLeavesNoImage) {
  m_files.refuseAllocation = true;
  const JobVerdict verdict = Accept();
  EXPECT_FALSE(verdict.accepted);
  EXPECT_EQ(verdict.message, "内存不足。");
  EXPECT_EQ(verdict.detail, "4194304字节：整个镜像须能放入内存");
  EXPECT_EQ(verdict.style, MessageStyle::Warning);
  EXPECT_EQ(m_job.imageBytes, nullptr);
  EXPECT_EQ(m_files.openFiles, 0);
}

TEST_F(JobAcceptanceFaultTest, ShortReadReportsBothCountsAndReleasesTheImage) {
  m_files.readLimit = 100;
  const JobVerdict verdict = Accept();
  EXPECT_FALSE(verdict.accepted);
  EXPECT_EQ(verdict.message, "读取文件出错！100/4194304");
  EXPECT_EQ(verdict.detail, "image：只读到100字节（共4194304字节），读取出错或文件在读取时变短");
  EXPECT_EQ(verdict.style, MessageStyle::Plain);
  EXPECT_EQ(m_job.imageBytes, nullptr);
  EXPECT_EQ(m_files.openFiles, 0);
}

TEST_F(JobAcceptanceFaultTest, TheImageFileIsClosedBeforeTheDirectoryStep) {
  // Whatever the directory step answers, the image is closed by then.
  for (const char* directory : {"out", "missing/child"}) {
    static_cast<void>(Accept(directory));
    EXPECT_EQ(m_files.openFiles, 0);
  }
}

}  // namespace
}  // namespace quillmark
