#include "batch_manifest.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fixture_image.h"
#include "memory_files.h"
#include "scratch_dir.h"

namespace quillmark {
namespace {

MacAddress Mac(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e,
               std::int32_t f) {
  return MacAddress{{a, b, c, d, e, f}};
}

TEST(BatchManifestTest, ReadsBackWhatARunWrites) {
  const MacAddress first = Mac(0x04, 0x57, 0x55, 0x00, 0xff, 0xfe);
  MacAddress second = first;
  for (int i = 0; i < 5; ++i)  // a device between them failed and is not listed
    second.Increment();
  const std::string text =
      ManifestHeader(3) + "\n" + ManifestRow(first, 3) + "\n" + ManifestRow(second, 3) + "\n";
  EXPECT_EQ(text,
            "file,mac1,mac2,mac3\n"
            "fw_045755_00fffe.img,04:57:55:00:ff:fe,04:57:55:00:ff:ff,04:57:55:01:00:00\n"
            "fw_045755_010003.img,04:57:55:01:00:03,04:57:55:01:00:04,04:57:55:01:00:05\n");

  const ManifestReading reading = ParseManifest(text);
  ASSERT_TRUE(reading.manifest) << reading.error;
  EXPECT_EQ(reading.error, "");
  EXPECT_EQ(reading.manifest->macsPerDevice, 3);
  ASSERT_EQ(reading.manifest->devices.size(), 2u);
  const ManifestDevice& device = reading.manifest->devices[1];
  EXPECT_EQ(device.first, second);
  EXPECT_EQ(device.line, 3);
  EXPECT_EQ(
      DeviceAddresses(device.first, 3),
      (std::vector<MacAddress>{second, Mac(4, 0x57, 0x55, 1, 0, 4), Mac(4, 0x57, 0x55, 1, 0, 5)}));
}

TEST(BatchManifestTest, AHeaderAloneIsABatchOfNoDevice) {
  const ManifestReading reading = ParseManifest("file,mac1,mac2,mac3,mac4\n");
  ASSERT_TRUE(reading.manifest);
  EXPECT_EQ(reading.manifest->macsPerDevice, 4);
  EXPECT_TRUE(reading.manifest->devices.empty());
}

// A manifest saved by a spreadsheet: a byte-order mark, CR LF line ends,
// also mixed with LF where an operator added a row in another editor.
TEST(BatchManifestTest, ReadsAByteOrderMarkAndCrLfLineEnds) {
  const ManifestReading reading = ParseManifest(
      "\xef\xbb\xbf"
      "file,mac1,mac2\r\n"
      "fw_045755_000002.img,04:57:55:00:00:02,04:57:55:00:00:03\r\n"
      "fw_045755_000000.img,04:57:55:00:00:00,04:57:55:00:00:01\n");
  ASSERT_TRUE(reading.manifest) << reading.error;
  EXPECT_EQ(reading.manifest->macsPerDevice, 2);
  ASSERT_EQ(reading.manifest->devices.size(), 2u);
  EXPECT_EQ(reading.manifest->devices[0].first, Mac(4, 0x57, 0x55, 0, 0, 2));
  EXPECT_EQ(reading.manifest->devices[1].line, 3);
}

TEST(BatchManifestTest, RefusesWhatARunNeverWritesNamingTheLine) {
  const std::string header = "file,mac1,mac2\n";
  const std::string row2 = "fw_045755_000000.img,04:57:55:00:00:00,04:57:55:00:00:01\n";
  struct Case {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "清单文件是空的！"},
      {"file,mac1", "清单文件第1行错误！行尾没有换行符，文件不完整"},
      {"file,mac1,mac2\r", "清单文件第1行错误！行尾没有换行符，文件不完整"},
      {"\xef\xbb\xbf", "清单文件是空的！"},
      {"\xef\xbb\xbf\xef\xbb\xbf"
       "file,mac1\n",
       "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：\xef\xbb\xbf"
       "file,mac1"},
      {"file,mac1\r\r\n", "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：file,mac1\r"},
      {"file\n", "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：file"},
      {"file,mac1,mac2,mac3,mac4,mac5\n",
       "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：file,mac1,mac2,mac3,mac4,mac5"},
      {"file,mac2\n", "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：file,mac2"},
      {"File,Mac1\n", "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：File,Mac1"},
      {header + row2 + "fw_045755_000002.img,04:57:55:00:00:02\n",
       "清单文件第3行错误！应有3个字段，实有2个"},
      {header + row2 + "fw_045755_000002.img,04:57:55:00:00:02,04:57:55:00:00:03,\n",
       "清单文件第3行错误！应有3个字段，实有4个"},
      {header + row2 + "\n", "清单文件第3行错误！应有3个字段，实有1个"},
      {header + row2 + "fw_045755_000002.img,04:57:55:00:00:02,04:57:55:00:00:0",
       "清单文件第3行错误！行尾没有换行符，文件不完整"},
      {header + "fw_045755_000000.img,04:57:55:00:00:0g,04:57:55:00:00:01\n",
       "清单文件第2行错误！MAC地址格式错误：04:57:55:00:00:0g"},
      {header + "fw_045755_00000a.img,04:57:55:00:00:0A,04:57:55:00:00:0b\n",
       "清单文件第2行错误！MAC地址格式错误：04:57:55:00:00:0A"},
      {header + "fw_045755_000000.img,4:57:55:00:00:00,04:57:55:00:00:01\n",
       "清单文件第2行错误！MAC地址格式错误：4:57:55:00:00:00"},
      {header + "fw_045755_000000.img, 04:57:55:00:00:00,04:57:55:00:00:01\n",
       "清单文件第2行错误！MAC地址格式错误： 04:57:55:00:00:00"},
      {header + "fw_045755_000000.img,04:57:55:00:00:00 ,04:57:55:00:00:01\n",
       "清单文件第2行错误！MAC地址格式错误：04:57:55:00:00:00 "},
      {header + "fw_045755_000000.img,04:57:55:00:00:00,\n",
       "清单文件第2行错误！MAC地址格式错误："},
      {header + "fw_045755_000000.img,04:57:55:00:00:00," + std::string(60, 'x') + "\n",
       "清单文件第2行错误！MAC地址格式错误：" + std::string(40, 'x') + "…"},
      {header + "fw_055755_000000.img,05:57:55:00:00:00,05:57:55:00:00:01\n",
       "清单文件第2行错误！MAC地址是组播或本地管理地址：05:57:55:00:00:00"},
      {header + "fw_065755_000000.img,06:57:55:00:00:00,06:57:55:00:00:01\n",
       "清单文件第2行错误！MAC地址是组播或本地管理地址：06:57:55:00:00:00"},
      {header + "fw_045755_000000.img,04:57:55:00:00:00,04:57:55:00:00:02\n",
       "清单文件第2行错误！MAC地址不连续：04:57:55:00:00:02应为04:57:55:00:00:01"},
      {header + "fw_045755_000001.img,04:57:55:00:00:01,04:57:55:00:00:00\n",
       "清单文件第2行错误！MAC地址不连续：04:57:55:00:00:00应为04:57:55:00:00:02"},
      {header + "fw_045755_000001.img,04:57:55:00:00:00,04:57:55:00:00:01\n",
       "清单文件第2行错误！文件名与首个MAC地址不符：fw_045755_000001.img应为fw_045755_000000.img"},
      {header + "out/fw_045755_000000.img,04:57:55:00:00:00,04:57:55:00:00:01\n",
       "清单文件第2行错误！文件名与首个MAC地址不符：out/"
       "fw_045755_000000.img应为fw_045755_000000.img"},
      {header + "FW_045755_000000.IMG,04:57:55:00:00:00,04:57:55:00:00:01\n",
       "清单文件第2行错误！文件名与首个MAC地址不符：FW_045755_000000.IMG应为fw_045755_000000.img"},
      {header + row2 + row2, "清单文件第3行错误！MAC地址04:57:55:00:00:00与第2行重复"},
      {header + row2 + "fw_045755_000001.img,04:57:55:00:00:01,04:57:55:00:00:02\n",
       "清单文件第3行错误！MAC地址04:57:55:00:00:01与第2行重复"},
      {header + "fw_045755_000001.img,04:57:55:00:00:01,04:57:55:00:00:02\n" + row2,
       "清单文件第3行错误！MAC地址04:57:55:00:00:01与第2行重复"},
      {header + row2 + "fw_045755_000010.img,04:57:55:00:00:10,04:57:55:00:00:11\n" +
           "fw_045755_000011.img,04:57:55:00:00:11,04:57:55:00:00:12\n" + row2,
       "清单文件第4行错误！MAC地址04:57:55:00:00:11与第3行重复"},
      {"file,mac1\nfw_045755_000000.img,04:57:55:00:00:00\nfw_045755_000005.img,04:57:55:00:00:05\n"
       "fw_045755_000000.img,04:57:55:00:00:00\nfw_045755_000006.img,04:57:55:00:00:06\n"
       "fw_045755_000007.img,04:57:55:00:00:07\nfw_045755_000006.img,04:57:55:00:00:06\n",
       "清单文件第4行错误！MAC地址04:57:55:00:00:00与第2行重复"},
      {header + row2 + row2 + "fw_045755_000004.img,04:57:55:00:00:04\n",
       "清单文件第3行错误！MAC地址04:57:55:00:00:00与第2行重复"},
  };
  for (const Case& c : cases) {
    const ManifestReading reading = ParseManifest(c.text);
    EXPECT_FALSE(reading.manifest) << c.text;
    EXPECT_EQ(reading.error, c.error) << c.text;
  }
}

TEST(BatchManifestTest, AtMostTheDevicesOfOneBatch) {
  std::string text = ManifestHeader(1) + "\n";
  MacAddress address = Mac(0x04, 0x57, 0x55, 0, 0, 0);
  for (std::int32_t i = 0; i < kMaxManifestDevices; ++i) {
    text += ManifestRow(address, 1) + "\n";
    address.Increment();
  }
  const ManifestReading full = ParseManifest(text);
  ASSERT_TRUE(full.manifest) << full.error;
  EXPECT_EQ(full.manifest->devices.size(), 65535u);
  EXPECT_EQ(full.manifest->devices.back().line, 65536);

  text += ManifestRow(address, 1) + "\n";
  EXPECT_EQ(ParseManifest(text).error, "清单文件第65537行错误！设备超过65535台");
}

TEST(BatchManifestTest, ReadsTheFileOrSaysWhyNot) {
  test::ScratchDir dir;
  const std::string text = "file,mac1\nfw_045755_000000.img,04:57:55:00:00:00\n";
  test::WriteFileBytes(dir / "lot.csv", std::vector<std::uint8_t>(text.begin(), text.end()));
  SystemFiles files;
  const ManifestReading reading = ReadManifest(dir / "lot.csv", files);
  ASSERT_TRUE(reading.manifest) << reading.error;
  EXPECT_EQ(reading.manifest->devices.size(), 1u);

  EXPECT_EQ(ReadManifest(dir / "none.csv", files).error, "读取清单文件错误！" + (dir / "none.csv"));
  EXPECT_EQ(ReadManifest(dir.path(), files).error, "读取清单文件错误！" + dir.path());

  // Larger than 65535 rows of four addresses can be: refused unread.
  ASSERT_EQ(::truncate((dir / "lot.csv").c_str(), 6094849), 0);
  EXPECT_EQ(ReadManifest(dir / "lot.csv", files).error, "清单文件过大！6094849");
}

TEST(BatchManifestTest, AShortReadIsRefused) {
  test::MemoryFiles files;
  const std::string text = "file,mac1\nfw_045755_000000.img,04:57:55:00:00:00\n";
  files.files["lot.csv"] = std::vector<std::uint8_t>(text.begin(), text.end());
  files.readLimit = 12;
  EXPECT_EQ(ReadManifest("lot.csv", files).error, "读取清单文件错误！lot.csv");
  EXPECT_EQ(files.openFiles, 0);
}

}  // namespace
}  // namespace quillmark
