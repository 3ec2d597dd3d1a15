#include "batch_verifier.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "fixture_image.h"
#include "job_builder.h"
#include "memory_files.h"
#include "scratch_dir.h"
#include "verify_texts.h"

namespace quillmark {
namespace {

using test::k4MiB;

MacAddress Mac(const char* text) {
  return *MacAddress::Parse(text);
}

std::vector<std::uint8_t> Octets(const MacAddress& address) {
  return std::vector<std::uint8_t>(address.octets.begin(), address.octets.end());
}

// Every call in order, as the lines a front end would show.
class RecordingHost final : public VerifyHost {
 public:
  RecordingHost(const ExpectedBatch& batch) : m_batch(batch) {}

  void OnDeviceChecked(const DeviceResult& result) override {
    order.push_back(result.index);
    if (result.fault != DeviceFault::None)
      lines.push_back(DeviceFaultText(m_batch, result));
  }
  void OnFolderScanned(const FolderScan& scan) override {
    ++scans;
    if (!scan.listed)
      lines.push_back(UnlistedFolderText(m_batch));
    for (const FolderFinding& finding : scan.findings)
      lines.push_back(FindingText(m_batch, finding));
  }
  bool StopRequested() override { return order.size() >= stopAfterDevices; }

  std::vector<std::size_t> order;
  std::vector<std::string> lines;
  int scans = 0;
  std::size_t stopAfterDevices = 1000;

 private:
  const ExpectedBatch& m_batch;
};

// Six devices of two addresses each from 04:57:55:00:00:fe, written by
// hand as the writer would (the verifier is not tested against itself).
class VerifierTest : public testing::Test {
 protected:
  VerifierTest() : m_image(test::MakeValidImage(k4MiB)) {
    m_job = test::MakeJob("04:57:55:00:00:fe", 6, 2, m_image, m_dir.path());
    m_batch = BatchOfJob(m_job);
    for (const MacAddress& first : m_batch.devices)
      test::WriteFileBytes(PathOf(first), DeviceImage(first));
  }

  std::string PathOf(const MacAddress& first) const { return m_dir / first.ToFileName(); }
  std::vector<std::uint8_t> DeviceImage(const MacAddress& first) const {
    return test::ExpectedDeviceImage(m_image, Octets(first), 2);
  }
  // Device i's path and bytes, changed by change.
  void Rewrite(int i, const std::function<void(std::vector<std::uint8_t>&)>& change) {
    std::vector<std::uint8_t> bytes = DeviceImage(m_batch.devices[i]);
    change(bytes);
    test::WriteFileBytes(PathOf(m_batch.devices[i]), bytes);
  }

  VerifyOutcome Verify(RecordingHost& host, VerifierOptions options = {}) {
    SystemFiles files;
    return VerifyBatch(m_batch, host, files, options);
  }

  test::ScratchDir m_dir;
  std::vector<std::uint8_t> m_image;
  GenerationJob m_job;
  ExpectedBatch m_batch;
};

struct Options {
  const char* name;
  VerifierOptions options;
};

void PrintTo(const Options& options, std::ostream* out) {
  *out << options.name;
}

class VerifierFaultTest : public VerifierTest, public testing::WithParamInterface<Options> {};

TEST_P(VerifierFaultTest, EachFaultIsOneLineNamingTheFile) {
  const std::string d = m_dir.path() + "/";
  const std::uint64_t records = k4MiB - 0x10000;
  struct Case {
    const char* what;
    std::function<void()> make;
    std::vector<std::string> lines;
    int failed;
    int duplicates;
  } cases[] = {
      {"clean", [] {}, {}, 0, 0},
      {"byte flipped in the image part",
       [&] { Rewrite(2, [](auto& b) { b[0x1234] ^= 0x01; }); },
       {"文件内容不符: " + d + "fw_045755_000102.img 偏移0x1234"},
       1,
       0},
      {"first and last byte",
       [&] {
         Rewrite(0, [](auto& b) { b[0] ^= 0x80; });
         Rewrite(5, [](auto& b) { b.back() ^= 0x80; });
       },
       {"文件内容不符: " + d + "fw_045755_0000fe.img 偏移0x0",
        "文件内容不符: " + d + "fw_045755_000108.img 偏移0x3fffff"},
       2,
       0},
      {"byte right after the records",
       [&] { Rewrite(1, [&](auto& b) { b[records + 12] ^= 1; }); },
       {"文件内容不符: " + d + "fw_045755_000100.img 偏移0x3f000c"},
       1,
       0},
      {"byte flipped in the record area",
       [&] { Rewrite(1, [&](auto& b) { b[records + 11] ^= 0x10; }); },
       {"MAC记录错误: " + d +
        "fw_045755_000100.img 找到 04:57:55:00:01:00 04:57:55:00:01:11，应为 "
        "04:57:55:00:01:00 04:57:55:00:01:01"},
       1,
       0},
      {"a device holding its neighbour's addresses",
       [&] { test::WriteFileBytes(PathOf(m_batch.devices[3]), DeviceImage(m_batch.devices[4])); },
       {"MAC记录错误: " + d +
        "fw_045755_000104.img 找到 04:57:55:00:01:06 04:57:55:00:01:07，应为 "
        "04:57:55:00:01:04 04:57:55:00:01:05"},
       1,
       0},
      {"truncated",
       [&] { ASSERT_EQ(::truncate(PathOf(m_batch.devices[4]).c_str(), k4MiB - 1), 0); },
       {"文件大小错误: " + d + "fw_045755_000106.img 4194303"},
       1,
       0},
      {"longer",
       [&] { Rewrite(4, [](auto& b) { b.push_back(0); }); },
       {"文件大小错误: " + d + "fw_045755_000106.img 4194305"},
       1,
       0},
      {"missing",
       [&] { ASSERT_EQ(::unlink(PathOf(m_batch.devices[0]).c_str()), 0); },
       {"文件缺失: " + d + "fw_045755_0000fe.img"},
       1,
       0},
      {"a link and a folder under device names",
       [&] {
         ASSERT_EQ(::unlink(PathOf(m_batch.devices[1]).c_str()), 0);
         ASSERT_EQ(
             ::symlink(PathOf(m_batch.devices[0]).c_str(), PathOf(m_batch.devices[1]).c_str()), 0);
         ASSERT_EQ(::unlink(PathOf(m_batch.devices[2]).c_str()), 0);
         ASSERT_EQ(::mkdir(PathOf(m_batch.devices[2]).c_str(), 0777), 0);
         ASSERT_EQ(::unlink(PathOf(m_batch.devices[3]).c_str()), 0);
         ASSERT_EQ(::mkfifo(PathOf(m_batch.devices[3]).c_str(), 0666), 0);
       },
       {"不是普通文件: " + d + "fw_045755_000100.img",
        "不是普通文件: " + d + "fw_045755_000102.img",
        "不是普通文件: " + d + "fw_045755_000104.img"},
       3,
       0},
      {"a leftover temporary file",
       [&] {
         test::WriteFileBytes(d + ".fw_045755_00010a.img.part", std::vector<std::uint8_t>(100, 1));
       },
       {"残留临时文件: " + d + ".fw_045755_00010a.img.part"},
       0,
       0},
      {"a device file outside the batch, and other files",
       [&] {
         test::WriteFileBytes(d + "fw_045755_00010a.img", DeviceImage(Mac("04:57:55:00:01:0a")));
         test::WriteFileBytes(d + "lot.csv", {'x'});
         test::WriteFileBytes(d + "fw_045755_00010a.bin", {'x'});
         ASSERT_EQ(::mkdir((d + "fw_old.img").c_str(), 0777), 0);
       },
       {"批次外文件: " + d + "fw_045755_00010a.img", "批次外文件: " + d + "fw_old.img"},
       0,
       0},
      {"a file named for an address of the batch",
       [&] { test::WriteFileBytes(d + "fw_045755_000101.img", {'x'}); },
       {"MAC地址重复: " + d + "fw_045755_000101.img 04:57:55:00:01:01"},
       0,
       1},
      {"a file holding an address of the batch in its records",
       [&] {
         // Renamed by hand.
         test::WriteFileBytes(d + "fw_045755_0010fe.img", DeviceImage(Mac("04:57:55:00:01:07")));
       },
       {"MAC地址重复: " + d + "fw_045755_0010fe.img 04:57:55:00:01:07"},
       0,
       1},
      {"complete temporary files of the batch's devices, left by a killed rerun",
       [&] {
         // A temporary file is never a device's: it is a note whatever it holds.
         test::WriteFileBytes(d + ".fw_045755_000100.img.part", DeviceImage(m_batch.devices[1]));
         test::WriteFileBytes(d + ".fw_045755_0010fe.img.part", DeviceImage(m_batch.devices[2]));
       },
       {"残留临时文件: " + d + ".fw_045755_000100.img.part",
        "残留临时文件: " + d + ".fw_045755_0010fe.img.part"},
       0,
       0},
      {"a link to a device's file under an address outside the batch",
       [&] {
         ASSERT_EQ(
             ::symlink(PathOf(m_batch.devices[0]).c_str(), (d + "fw_045755_000199.img").c_str()),
             0);
       },
       {"MAC地址重复: " + d + "fw_045755_000199.img 04:57:55:00:00:fe"},
       0,
       1},
      {"a link to a damaged device's file under any name",
       [&] {
         // The device's own check finds the damage; the link is a second
         // name for its addresses all the same.
         Rewrite(2, [](auto& b) { b.resize(b.size() - 1); });
         ASSERT_EQ(::symlink(PathOf(m_batch.devices[2]).c_str(), (d + "label.img").c_str()), 0);
       },
       {"文件大小错误: " + d + "fw_045755_000102.img 4194303",
        "MAC地址重复: " + d + "label.img 04:57:55:00:01:02"},
       1,
       1},
      {"a copy of a device under another name, and a file that holds nothing of the batch's",
       [&] {
         test::WriteFileBytes(d + "copy.bin", DeviceImage(m_batch.devices[3]));
         test::WriteFileBytes(d + "other.bin", DeviceImage(Mac("04:57:55:00:20:00")));
       },
       {"MAC地址重复: " + d + "copy.bin 04:57:55:00:01:04"},
       0,
       1},
      {"a link named for an address of the batch",
       [&] {
         ASSERT_EQ(
             ::symlink(PathOf(m_batch.devices[0]).c_str(), (d + "fw_045755_0000ff.img").c_str()),
             0);
       },
       {"MAC地址重复: " + d + "fw_045755_0000ff.img 04:57:55:00:00:ff"},
       0,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : m_dir.List())
      std::filesystem::remove_all(d + name);
    for (const MacAddress& first : m_batch.devices)
      test::WriteFileBytes(PathOf(first), DeviceImage(first));
    c.make();
    RecordingHost host(m_batch);
    const VerifyOutcome outcome = Verify(host, GetParam().options);
    EXPECT_EQ(host.lines, c.lines);
    EXPECT_EQ(host.order, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(outcome.devicesChecked, 6);
    EXPECT_EQ(outcome.devicesFailed, c.failed);
    EXPECT_EQ(outcome.devicesExact, 6 - c.failed);
    EXPECT_EQ(outcome.duplicateFiles, c.duplicates);
    EXPECT_EQ(outcome.otherFiles, std::count_if(c.lines.begin(), c.lines.end(), [](const auto& l) {
                return l.rfind("批次外文件: ", 0) == 0;
              }));
    EXPECT_EQ(outcome.Passed(), c.failed == 0 && c.duplicates == 0);
    EXPECT_EQ(host.scans, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ReadSettings, VerifierFaultTest,
    testing::Values(Options{"TwoLanesFourFiles", {}},
                    Options{"OneLaneOneFileSmallReads", {{false, 0x10000}, 1, 1}},
                    Options{"FromDiskThreeLanesWholeFiles", {{true, k4MiB}, 3, 2}}),
    [](const testing::TestParamInfo<Options>& info) { return info.param.name; });

// The devices handed to the host before the stop are the ones counted;
// results a second lane finished later are dropped with the rest.
TEST_F(VerifierTest, AStopEndsTheCheckWithTheDevicesHandedOverSoFar) {
  for (const int lanes : {1, 2}) {
    SCOPED_TRACE(lanes);
    RecordingHost host(m_batch);
    host.stopAfterDevices = 2;
    const VerifyOutcome outcome = Verify(host, VerifierOptions{{}, lanes, 1});
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.Passed());
    EXPECT_EQ(outcome.devicesChecked, 2);
    EXPECT_EQ(host.order, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(host.scans, 0);
    EXPECT_EQ(SummaryText(outcome, 6), "校验已停止：已校验2台（共6台），完好2台，失败0台");
  }
}

TEST_F(VerifierTest, SummaryCountsDevicesAndDuplicates) {
  VerifyOutcome outcome;
  outcome.devicesChecked = 255;
  outcome.devicesExact = 254;
  outcome.devicesFailed = 1;
  EXPECT_EQ(SummaryText(outcome, 255), "校验结束：已校验255台，完好254台，失败1台");
  outcome.duplicateFiles = 2;
  EXPECT_EQ(SummaryText(outcome, 255),
            "校验结束：已校验255台，完好254台，失败1台，MAC地址重复文件2个");
}

TEST_F(VerifierTest, AFolderThatCannotBeListedFailsTheCheck) {
  test::MemoryFiles files;  // lists no folder; one lane, since it is not safe across threads
  for (const MacAddress& first : m_batch.devices)
    files.files[PathOf(first)] = DeviceImage(first);
  RecordingHost host(m_batch);
  const VerifyOutcome outcome = VerifyBatch(m_batch, host, files, VerifierOptions{{}, 1, 4});
  EXPECT_EQ(outcome.devicesExact, 6);
  EXPECT_FALSE(outcome.folderListed);
  EXPECT_FALSE(outcome.Passed());
  EXPECT_EQ(host.lines, std::vector<std::string>{"读取输出目录出错: " + m_dir.path()});
}

TEST_F(VerifierTest, AShortReadIsAnUnreadableFile) {
  test::MemoryFiles files;
  for (const MacAddress& first : m_batch.devices)
    files.files[PathOf(first)] = DeviceImage(first);
  files.readLimit = 0x10000;
  RecordingHost host(m_batch);
  const VerifyOutcome outcome =
      VerifyBatch(m_batch, host, files, VerifierOptions{{false, 0x20000}, 1, 4});
  EXPECT_EQ(outcome.devicesFailed, 6);
  EXPECT_EQ(host.lines.front(), "读取文件出错: " + m_dir.path() + "/fw_045755_0000fe.img");
  EXPECT_EQ(files.openFiles, 0);
}

}  // namespace
}  // namespace quillmark
