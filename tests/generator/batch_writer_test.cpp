#include "batch_writer.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <tuple>

#include "device_file_writer.h"
#include "faulty_files.h"
#include "fixture_image.h"
#include "image_checks.h"
#include "job_builder.h"
#include "recording_host.h"
#include "scratch_dir.h"
#include "stamp_fixture.h"
#include "status_lines.h"
#include "test_mount.h"

namespace quillmark {
namespace {

using test::FaultyFiles;
using test::k16MiB;
using test::k4MiB;
using test::Saving;
using test::ScratchDir;
using test::TestMount;

using test::RecordingHost;

using test::MakeJob;

// One run into the job's folder, claimed as the front ends claim it.
BatchOutcome RunBatch(GenerationJob& job, BatchHost& host, PlatformFiles& files,
                      WriterOptions options = {}) {
  const FolderClaim claim = ClaimOutputFolder(files, job.outputDirectory);
  if (!claim.folder) {
    ADD_FAILURE() << "the folder could not be claimed: " << claim.refusal;
    return {};
  }
  return GenerationWorker(job, host, *claim.folder, options);
}

std::vector<std::uint8_t> Octets(const char* colonText) {
  const MacAddress address = *MacAddress::Parse(colonText);
  return std::vector<std::uint8_t>(address.octets.begin(), address.octets.end());
}

// The file must be the fixture image with perDevice records from first on.
void ExpectDeviceFile(const std::string& path, std::uint32_t size, const char* first,
                      int perDevice) {
  static std::map<std::uint32_t, std::vector<std::uint8_t>> images;
  if (images.count(size) == 0)
    images[size] = test::MakeValidImage(size);
  const std::vector<std::uint8_t> expected =
      test::ExpectedDeviceImage(images[size], Octets(first), perDevice);
  const std::vector<std::uint8_t> actual = test::ReadFileBytes(path);
  ASSERT_EQ(actual.size(), expected.size()) << path;
  EXPECT_TRUE(actual == expected) << path << " differs from the image with its records";
}

// Every behaviour holds on each way a file can be put in place.
enum class WritePath {
  Whole,      // each file written whole from the buffer
  Steady,     // written whole, each sent to the disk and out of the cache behind the next
  SeamClone,  // cloned through the seam (an in-kernel copy stands in for sharing)
  XfsClone,   // cloned for real, on a loop-mounted XFS made with reflinks (root only)
};

void PrintTo(WritePath path, std::ostream* os) {
  const char* const names[] = {"Whole", "Steady", "SeamClone", "XfsClone"};
  *os << names[static_cast<int>(path)];
}

// ...with one lane, each file in its turn, and with two, writing ahead.
using Way = std::tuple<WritePath, int>;

std::string WayName(const testing::TestParamInfo<Way>& info) {
  const std::string lanes = std::get<1>(info.param) == 1 ? "OneLane" : "TwoLanes";
  switch (std::get<0>(info.param)) {
    case WritePath::Whole:
      return "Whole" + lanes;
    case WritePath::Steady:
      return "Steady" + lanes;
    case WritePath::SeamClone:
      return "SeamClone" + lanes;
    case WritePath::XfsClone:
      return "XfsClone" + lanes;
  }
  return "";
}

// A small XFS with shared extents, mounted for one test and unmounted after
// it; ScratchDir folders land on it while it stands.
class XfsScratch {
 public:
  explicit XfsScratch(bool wanted) {
    if (!wanted)
      return;
    m_mount = std::make_unique<TestMount>(m_holder.path(), TestMount::Kind::Xfs,
                                          std::uint64_t{512} << 20);
    if (!m_mount->mounted())
      return;
    const char* previous = std::getenv("TMPDIR");
    m_previousTmp = previous ? previous : "";
    ::setenv("TMPDIR", m_mount->mountPoint().c_str(), 1);
  }
  ~XfsScratch() {
    if (mounted())
      m_previousTmp.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", m_previousTmp.c_str(), 1);
  }
  bool mounted() const { return m_mount && m_mount->mounted(); }
  std::string failure() const { return m_mount ? m_mount->failure() : "not asked for"; }

 private:
  ScratchDir m_holder;
  std::unique_ptr<TestMount> m_mount;
  std::string m_previousTmp;
};

class BatchWriterTest : public testing::TestWithParam<Way> {
 protected:
  static WritePath Path() { return std::get<0>(GetParam()); }
  static int Lanes() { return std::get<1>(GetParam()); }
  void SetUp() override {
    if (Path() == WritePath::XfsClone && !m_xfs.mounted())
      GTEST_SKIP() << m_xfs.failure();
    Prepare(m_files);
  }
  bool Clones() const { return Path() == WritePath::SeamClone || Path() == WritePath::XfsClone; }
  // The writer's options for this path, durable as asked.
  WriterOptions Options(bool durable = false) const {
    WriterOptions options{durable, Clones()};
    if (Path() == WritePath::Steady)
      options.steadyMemoryAbove = 0;
    options.lanes = Lanes();
    return options;
  }
  // The files went the path's way, and no handle is left open (neither
  // the private copy of the image nor a file on its way to the disk).
  void ExpectPathTaken(const FaultyFiles& files, int devices) const {
    EXPECT_EQ(files.clones() >= devices, Clones());
    EXPECT_EQ(files.released() >= devices - 1, Path() == WritePath::Steady);
    EXPECT_EQ(files.openFiles(), 0);
  }

  // The system's files, cloning as the write path asks, with the fault.
  void Prepare(FaultyFiles& files, FaultyFiles::Fault fault = FaultyFiles::Fault::None) const {
    files.cloneByCopy = Path() == WritePath::SeamClone;
    files.fault = fault;
  }

  XfsScratch m_xfs{Path() == WritePath::XfsClone};
  ScratchDir m_dir;
  FaultyFiles m_files;
};

TEST_P(BatchWriterTest, DefaultJobWritesEveryDeviceExactly) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 255, 1, k4MiB, m_dir / "out");
  ASSERT_EQ(::mkdir(job.outputDirectory.c_str(), 0777), 0);
  RecordingHost host;
  const BatchOutcome outcome = RunBatch(job, host, m_files, Options());
  ExpectPathTaken(m_files, 255);

  std::vector<std::string> expectedCalls;
  std::vector<std::string> expectedNames;
  for (int device = 0; device < 255; ++device) {
    char address[18], name[21];
    std::snprintf(address, sizeof address, "04:57:55:00:00:%02x", device);
    std::snprintf(name, sizeof name, "fw_045755_0000%02x.img", device);
    expectedCalls.push_back(Saving(address));
    expectedNames.push_back(name);
    ExpectDeviceFile(m_dir / "out/" + name, k4MiB, address, 1);
  }
  expectedCalls.push_back("finished(true)");
  EXPECT_EQ(host.calls, expectedCalls);
  EXPECT_EQ(m_dir.List("out"), expectedNames);  // no temporary file is left
  EXPECT_EQ(host.done, expectedNames);
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.devicesWritten, 255);
  // The records of the last device stay in the job's image.
  EXPECT_EQ(job.imageBytes[k4MiB - 0x10000 + 5], 0xfe);
  EXPECT_EQ(job.startMac, *MacAddress::Parse("04:57:55:00:00:00"));
}

TEST_P(BatchWriterTest, AddressesRunOnAcrossDevicesWithCarry) {
  struct Case {
    const char* start;
    int perDevice;
    std::uint32_t size;
    std::vector<std::pair<const char*, const char*>> files;  // name, first address
  } cases[] = {
      {"04:57:55:00:00:00",
       2,
       k4MiB,
       {{"fw_045755_000000.img", "04:57:55:00:00:00"},
        {"fw_045755_000002.img", "04:57:55:00:00:02"}}},
      {"04:57:55:00:00:ff",
       2,
       k4MiB,
       {{"fw_045755_0000ff.img", "04:57:55:00:00:ff"},
        {"fw_045755_000101.img", "04:57:55:00:01:01"}}},
      {"00:ff:fe:ff:ff:ff",
       1,
       k4MiB,
       {{"fw_00fffe_ffffff.img", "00:ff:fe:ff:ff:ff"},
        {"fw_00ffff_000000.img", "00:ff:ff:00:00:00"}}},
      {"fc:00:00:ff:ff:fe",
       4,
       k16MiB,
       {{"fw_fc0000_fffffe.img", "fc:00:00:ff:ff:fe"},
        {"fw_fc0001_000002.img", "fc:00:01:00:00:02"}}},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    GenerationJob job = MakeJob(c.start, 2, c.perDevice, c.size, dir.path());
    RecordingHost host;
    FaultyFiles files;
    Prepare(files);
    EXPECT_TRUE(RunBatch(job, host, files, Options()).finished);
    ExpectPathTaken(files, 2);
    ASSERT_EQ(host.calls.size(), 3u);
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      EXPECT_EQ(host.calls[i], Saving(c.files[i].second));
      ExpectDeviceFile(dir / c.files[i].first, c.size, c.files[i].second, c.perDevice);
    }
  }
}

TEST_P(BatchWriterTest, ReplacesWhateverStandsUnderADeviceName) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 3, 1, k4MiB, m_dir.path());
  test::WriteFileBytes(m_dir / "victim", {'k', 'e', 'e', 'p'});
  // A longer old image, a link planted under a final name and one planted
  // under a temporary name: none may be written through.
  test::WriteFileBytes(m_dir / "fw_045755_000000.img", std::vector<std::uint8_t>(k4MiB + 99, 1));
  ASSERT_EQ(::symlink((m_dir / "victim").c_str(), (m_dir / "fw_045755_000001.img").c_str()), 0);
  ASSERT_EQ(::symlink((m_dir / "victim").c_str(), (m_dir / ".fw_045755_000002.img.part").c_str()),
            0);
  RecordingHost host;
  EXPECT_TRUE(RunBatch(job, host, m_files, Options()).finished);
  ExpectPathTaken(m_files, 3);
  ExpectDeviceFile(m_dir / "fw_045755_000000.img", k4MiB, "04:57:55:00:00:00", 1);
  ExpectDeviceFile(m_dir / "fw_045755_000001.img", k4MiB, "04:57:55:00:00:01", 1);
  ExpectDeviceFile(m_dir / "fw_045755_000002.img", k4MiB, "04:57:55:00:00:02", 1);
  EXPECT_EQ(test::ReadFileBytes(m_dir / "victim"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_000001.img",
                                                    "fw_045755_000002.img", "victim"}));
}

TEST_P(BatchWriterTest, CreationFailureEndsTheRunUnfinished) {
  // A directory standing under a device's name makes its file impossible
  // to put in place, for root too. The separator the user typed is kept.
  for (int failing : {3, 10}) {
    ScratchDir dir;
    GenerationJob job = MakeJob("04:57:55:00:00:00", 10, 1, k4MiB, dir.path() + "/");
    char name[21];
    std::snprintf(name, sizeof name, "fw_045755_0000%02x.img", failing - 1);
    ASSERT_EQ(::mkdir((dir / name).c_str(), 0777), 0);
    RecordingHost host;
    const BatchOutcome outcome = RunBatch(job, host, m_files, Options());
    EXPECT_EQ(m_files.openFiles(), 0);

    EXPECT_FALSE(outcome.finished);
    EXPECT_EQ(outcome.devicesWritten, failing - 1);
    ASSERT_GE(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[host.calls.size() - 2], CreationFailedText(dir.path() + "//" + name));
    EXPECT_EQ(host.calls.back(), "finished(false)");
    EXPECT_EQ(host.calls.size(), failing + 2u);
    EXPECT_EQ(dir.List().size(), std::size_t(failing));  // earlier files and the directory
  }
}

// A rerun over an earlier lot: the device whose file cannot be created
// keeps no image of that lot under its name, where it would pass for this
// lot's. Devices the run never reached keep what they had.
TEST_P(BatchWriterTest, CreationFailureTakesTheOlderImageOfItsDeviceWithIt) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 5, 1, k4MiB, m_dir.path());
  std::vector<std::string> names;
  for (std::uint8_t device = 0; device < 5; ++device) {
    names.push_back("fw_045755_00000" + std::to_string(device) + ".img");
    test::WriteFileBytes(m_dir / names.back(), {'o', 'l', 'd', device});
  }
  // A folder under the temporary name: the file cannot be created, for root too.
  ASSERT_EQ(::mkdir((m_dir / ".fw_045755_000002.img.part").c_str(), 0777), 0);
  RecordingHost host;
  EXPECT_FALSE(RunBatch(job, host, m_files, Options()).finished);
  EXPECT_EQ(m_files.openFiles(), 0);
  ASSERT_GE(host.calls.size(), 2u);
  EXPECT_EQ(host.calls[host.calls.size() - 2], CreationFailedText(m_dir / names[2]));
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{".fw_045755_000002.img.part", names[0],
                                                    names[1], names[3], names[4]}));
  ExpectDeviceFile(m_dir / names[0], k4MiB, "04:57:55:00:00:00", 1);
  ExpectDeviceFile(m_dir / names[1], k4MiB, "04:57:55:00:00:01", 1);
  EXPECT_EQ(test::ReadFileBytes(m_dir / names[3]), (std::vector<std::uint8_t>{'o', 'l', 'd', 3}));
  EXPECT_EQ(test::ReadFileBytes(m_dir / names[4]), (std::vector<std::uint8_t>{'o', 'l', 'd', 4}));
}

// The folder moved away mid-run and a file put in its place: the run ends
// with the creation message of the device it was on. The moved folder
// keeps the complete files of the devices before it and nothing else of
// the run, not even a file written ahead.
TEST_P(BatchWriterTest, FolderMovedAwayTakesNoMoreFilesOfTheRun) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 6, 1, k4MiB, m_dir / "out");
  ASSERT_EQ(::mkdir(job.outputDirectory.c_str(), 0777), 0);
  RecordingHost host;
  int saving = 0;
  host.onStatus = [&](const std::string&) {
    if (host.kinds.back() != StatusKind::Saving || ++saving != 3)
      return;
    ASSERT_EQ(::rename((m_dir / "out").c_str(), (m_dir / "moved").c_str()), 0);
    test::WriteFileBytes(m_dir / "out", {'x'});
  };
  EXPECT_FALSE(RunBatch(job, host, m_files, Options()).finished);
  EXPECT_EQ(m_files.openFiles(), 0);
  EXPECT_EQ(
      host.calls,
      (std::vector<std::string>{
          Saving("04:57:55:00:00:00"), Saving("04:57:55:00:00:01"), Saving("04:57:55:00:00:02"),
          CreationFailedText(m_dir / "out/fw_045755_000002.img"), "finished(false)"}));
  EXPECT_EQ(m_dir.List("moved"),
            (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_000001.img"}));
  ExpectDeviceFile(m_dir / "moved/fw_045755_000000.img", k4MiB, "04:57:55:00:00:00", 1);
  ExpectDeviceFile(m_dir / "moved/fw_045755_000001.img", k4MiB, "04:57:55:00:00:01", 1);
  EXPECT_EQ(test::ReadFileBytes(m_dir / "out"), (std::vector<std::uint8_t>{'x'}));
}

TEST_P(BatchWriterTest, OneDeviceCreationFailureIsNotFinished) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 1, 1, k4MiB, m_dir.path());
  ASSERT_EQ(::mkdir((m_dir / "fw_045755_000000.img").c_str(), 0777), 0);
  RecordingHost host;
  EXPECT_FALSE(RunBatch(job, host, m_files, Options()).finished);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{Saving("04:57:55:00:00:00"),
                                      CreationFailedText(m_dir.path() + "/fw_045755_000000.img"),
                                      "finished(false)"}));
  EXPECT_EQ(host.kinds, (std::vector<StatusKind>{StatusKind::Saving, StatusKind::CreationFailed}));
}

TEST_P(BatchWriterTest, RelativeDirectoryIsResolvedOnceAtTheStart) {
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ScratchDir elsewhere;
  ASSERT_EQ(::chdir(m_dir.path().c_str()), 0);
  ASSERT_EQ(::mkdir("out", 0777), 0);
  GenerationJob job = MakeJob("04:57:55:00:00:00", 3, 1, k4MiB, "out");
  RecordingHost host;
  // Moving the current directory mid-run (as the image picker does) must
  // not redirect the rest of the run.
  host.onStatus = [&](const std::string&) { (void)::chdir(elsewhere.path().c_str()); };
  const BatchOutcome outcome = RunBatch(job, host, m_files, Options());
  ASSERT_EQ(::chdir(previous), 0);
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(m_dir.List("out").size(), 3u);
  EXPECT_TRUE(elsewhere.List().empty());
}

TEST_P(BatchWriterTest, StopEndsTheRunBeforeTheNextDevice) {
  for (int stopAfter : {0, 2}) {
    ScratchDir dir;
    GenerationJob job = MakeJob("04:57:55:00:00:00", 5, 1, k4MiB, dir.path());
    RecordingHost host;
    host.stopAfter = stopAfter;
    FaultyFiles files;
    Prepare(files);
    const BatchOutcome outcome = RunBatch(job, host, files, Options());
    EXPECT_EQ(files.openFiles(), 0);
    // One lane writes nothing for the device the run stops before; two
    // may have begun the next two, whose files are gone again.
    if (Lanes() == 1 || stopAfter == 0)
      EXPECT_EQ(files.created(), stopAfter);
    else
      EXPECT_LE(files.created(), stopAfter + 2);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(outcome.finished);
    EXPECT_EQ(outcome.devicesWritten, stopAfter);
    EXPECT_EQ(dir.List().size(), std::size_t(stopAfter));
    EXPECT_EQ(host.calls.back(), "finished(false)");
    EXPECT_EQ(host.calls.size(), stopAfter + 1u);
  }
}

// A short write made real: the file-size limit stops every write short.
TEST_P(BatchWriterTest, ShortWriteLeavesNoImageUnderTheDeviceName) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 2, 1, k4MiB, m_dir.path());
  test::WriteFileBytes(m_dir / "fw_045755_000000.img", {1, 2, 3});  // an older image
  RecordingHost host;
  const auto runUnderFileSizeLimit = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{k4MiB / 2, k4MiB / 2};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const BatchOutcome outcome = RunBatch(job, host, m_files, Options());
    const std::vector<std::string> expected{
        Saving("04:57:55:00:00:00"), WriteFailedText(m_dir.path() + "/fw_045755_000000.img"),
        Saving("04:57:55:00:00:01"), WriteFailedText(m_dir.path() + "/fw_045755_000001.img"),
        "finished(false)"};
    const bool asExpected =
        host.calls == expected && !outcome.finished && outcome.devicesFailed == 2;
    std::_Exit(asExpected ? 0 : 1);
  };
  EXPECT_EXIT(runUnderFileSizeLimit(), testing::ExitedWithCode(0), "");
  EXPECT_TRUE(m_dir.List().empty());
}

// Faults the machine cannot aim at one device: a write cut short or a
// close that reports an error, for the second of three devices only.
TEST_P(BatchWriterTest, FailedDeviceIsSkippedAndItsTextShownAgainAtTheEnd) {
  for (auto fault : {FaultyFiles::Fault::ShortWrite, FaultyFiles::Fault::CloseError}) {
    ScratchDir dir;
    GenerationJob job = MakeJob("04:57:55:00:00:00", 3, 1, k4MiB, dir.path());
    FaultyFiles files;
    Prepare(files, fault);
    RecordingHost host;
    const BatchOutcome outcome = RunBatch(job, host, files, Options());
    ExpectPathTaken(files, 3);
    const std::string failure = WriteFailedText(dir.path() + "/fw_045755_000001.img");
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              Saving("04:57:55:00:00:00"), Saving("04:57:55:00:00:01"), failure,
                              Saving("04:57:55:00:00:02"), failure, "finished(false)"}));
    EXPECT_EQ(host.kinds, (std::vector<StatusKind>{StatusKind::Saving, StatusKind::Saving,
                                                   StatusKind::WriteFailed, StatusKind::Saving,
                                                   StatusKind::WriteFailed}));
    EXPECT_FALSE(outcome.finished);
    EXPECT_EQ(dir.List(),
              (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_000002.img"}));
    EXPECT_EQ(host.done,
              (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_000001.img failed",
                                        "fw_045755_000002.img"}));
    ExpectDeviceFile(dir / "fw_045755_000002.img", k4MiB, "04:57:55:00:00:02", 1);
  }
}

TEST_P(BatchWriterTest, DurableRunWritesTheSameFiles) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 2, 3, k4MiB, m_dir.path());
  RecordingHost host;
  EXPECT_TRUE(RunBatch(job, host, m_files, Options(true)).finished);
  EXPECT_EQ(m_files.clones() >= 2, Clones());
  EXPECT_EQ(m_files.openFiles(), 0);
  ExpectDeviceFile(m_dir / "fw_045755_000000.img", k4MiB, "04:57:55:00:00:00", 3);
  ExpectDeviceFile(m_dir / "fw_045755_000003.img", k4MiB, "04:57:55:00:00:03", 3);
  EXPECT_EQ(m_dir.List().size(), 2u);
}

// The folder's new names could not be forced to the disk at the end of a
// durable run: every device's file is written, so none is counted failed,
// and the run still fails with the folder's own line.
TEST_P(BatchWriterTest, AFailedFolderFlushFailsTheRunWithoutMiscountingDevices) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 3, 1, k4MiB, m_dir.path());
  m_files.folderFlushFails = true;
  RecordingHost host;
  const BatchOutcome outcome = RunBatch(job, host, m_files, Options(true));
  EXPECT_EQ(outcome.devicesWritten, 3);
  EXPECT_EQ(outcome.devicesFailed, 0);
  EXPECT_EQ(outcome.devicesNotReached, 0);
  EXPECT_TRUE(outcome.folderFlushFailed);
  EXPECT_FALSE(outcome.finished);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{Saving("04:57:55:00:00:00"), Saving("04:57:55:00:00:01"),
                                      Saving("04:57:55:00:00:02"), WriteFailedText(m_dir.path()),
                                      "finished(false)"}));
  EXPECT_EQ(host.done, (std::vector<std::string>{"fw_045755_000000.img", "fw_045755_000001.img",
                                                 "fw_045755_000002.img"}));
  ExpectDeviceFile(m_dir / "fw_045755_000002.img", k4MiB, "04:57:55:00:00:02", 1);
}

// What the command-line tool's free-space check may ask before a batch.
TEST_P(BatchWriterTest, SharedDataIsReportedOnlyWhereFilesCanBeCloned) {
  SystemFiles files;
  struct statfs info {};
  ASSERT_EQ(::statfs(m_dir.path().c_str(), &info), 0);
  // A 4 MiB image's records, four addresses: one 4 KiB block, and as much
  // again counted for the file's inode and directory entries.
  const std::optional<std::uint64_t> perDevice =
      SharedFileBytes(files, m_dir.path(), k4MiB - kMacBlockSize, 24);
  if (Path() == WritePath::XfsClone) {
    EXPECT_TRUE(DirectorySharesData(files, m_dir.path()));
    EXPECT_EQ(perDevice, std::optional<std::uint64_t>(8192));
  } else if (info.f_type == EXT4_SUPER_MAGIC || info.f_type == TMPFS_MAGIC) {
    EXPECT_FALSE(DirectorySharesData(files, m_dir.path()));
    EXPECT_EQ(perDevice, std::nullopt);
  }
  EXPECT_FALSE(DirectorySharesData(files, m_dir / "missing"));
  EXPECT_TRUE(m_dir.List().empty());  // the trial leaves nothing behind
}

// XFS sets aside 32 blocks for a write into shared data unless a file
// asks for less, and holds them for minutes: 8 GiB for 65535 devices. The
// clones carry the one-block setting of the private copy they come from.
TEST(XfsCloneTest, EachCloneSetsAsideOneBlockForItsRecords) {
  XfsScratch xfs(true);
  if (!xfs.mounted())
    GTEST_SKIP() << xfs.failure();
  ScratchDir dir;
  GenerationJob job = MakeJob("04:57:55:00:00:00", 3, 1, k4MiB, dir.path());
  RecordingHost host;
  SystemFiles files;
  ASSERT_TRUE(RunBatch(job, host, files).finished);
  for (const std::string& name : dir.List()) {
    const int fd = ::open((dir / name).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    fsxattr attributes{};
    ASSERT_EQ(::ioctl(fd, FS_IOC_FSGETXATTR, &attributes), 0);
    ::close(fd);
    EXPECT_NE(attributes.fsx_xflags & FS_XFLAG_COWEXTSIZE, 0u) << name;
    EXPECT_EQ(attributes.fsx_cowextsize, 4096u) << name;
  }
  ExpectDeviceFile(dir / "fw_045755_000002.img", k4MiB, "04:57:55:00:00:02", 1);
}

// Where the system gives no thread for a second lane, every file is
// written in its turn on the writer's own thread, just as exactly. A
// process limit makes it real; root is exempt, so the child runs as nobody.
TEST(WriteAheadTest, WithoutThreadsEveryFileIsWrittenInItsTurn) {
  ScratchDir dir;
  GenerationJob job = MakeJob("04:57:55:00:00:00", 4, 2, k4MiB, dir.path());
  const std::vector<std::uint8_t> image = test::MakeValidImage(k4MiB);
  enum Exit { kExact = 0, kWrong = 1, kCannotDropRoot = 2, kThreadsStillStart = 3 };
  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::chmod(dir.path().c_str(), 0777) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      std::_Exit(kCannotDropRoot);
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_NPROC, &none);
    try {
      std::thread([] {}).join();
      std::_Exit(kThreadsStillStart);
    } catch (const std::system_error&) {
    }
    RecordingHost host;
    SystemFiles files;
    bool exact = RunBatch(job, host, files).finished && dir.List().size() == 4u;
    MacAddress first = *MacAddress::Parse("04:57:55:00:00:00");
    for (int device = 0; device < 4; ++device, first.Increment(), first.Increment()) {
      exact = exact && test::ReadFileBytes(dir / first.ToFileName()) ==
                           test::ExpectedDeviceImage(image, Octets(first.ToColonText().c_str()), 2);
    }
    std::_Exit(exact ? kExact : kWrong);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kCannotDropRoot || WEXITSTATUS(status) == kThreadsStillStart)
    GTEST_SKIP() << "threads could not be denied here";
  EXPECT_EQ(WEXITSTATUS(status), kExact);
}

// With a profile, each copy is the input with its fields written and its
// checksums recomputed, as the boot loader's own tool and an independent
// computation see it, however the file is put in place and made durable.
TEST_P(BatchWriterTest, StampedJobWritesFieldsThenChecksums) {
  const test::StampFixture fixture = test::MakeStampFixture(m_dir.path(), 2);
  ASSERT_FALSE(fixture.image.empty()) << "mkenvimage did not run";
  test::WriteFileBytes(
      m_dir / "profile.toml",
      std::vector<std::uint8_t>(fixture.profileText.begin(), fixture.profileText.end()));
  for (const bool durable : {false, true}) {
    SCOPED_TRACE(durable ? "durable" : "not durable");
    GenerationJob job = MakeJob("04:57:55:00:00:fe", 3, 2, k4MiB, m_dir / (durable ? "d" : "n"));
    ASSERT_EQ(::mkdir(job.outputDirectory.c_str(), 0777), 0);
    std::memcpy(job.imageBytes.get(), fixture.image.data(), k4MiB);
    SystemFiles system;
    ASSERT_TRUE(LoadJobProfile(job, m_dir / "profile.toml", system).accepted);
    RecordingHost host;
    ASSERT_TRUE(RunBatch(job, host, m_files, Options(durable)).finished);
    EXPECT_EQ(m_files.clones() >= 3, Clones());
    EXPECT_EQ(m_files.openFiles(), 0);
    const char* const names[] = {"fw_045755_0000fe.img", "fw_045755_000100.img",
                                 "fw_045755_000102.img"};
    for (int device = 0; device < 3; ++device) {
      const std::string path = job.outputDirectory + "/" + names[device];
      std::vector<std::uint8_t> addresses = Octets("04:57:55:00:00:fe");
      addresses[4] = static_cast<std::uint8_t>((0xfe + 2 * device) >> 8);
      addresses[5] = static_cast<std::uint8_t>(0xfe + 2 * device);
      std::vector<std::uint8_t> second = addresses;
      second[4] = static_cast<std::uint8_t>((0xff + 2 * device) >> 8);
      second[5] = static_cast<std::uint8_t>(0xff + 2 * device);
      addresses.insert(addresses.end(), second.begin(), second.end());
      const std::vector<std::uint8_t> actual = test::ReadFileBytes(path);
      EXPECT_TRUE(actual == fixture.Expected(addresses)) << path;
      char ethaddr[32];
      std::snprintf(ethaddr, sizeof ethaddr, "ethaddr=04:57:55:00:%02x:%02x\n", addresses[4],
                    addresses[5]);
      EXPECT_EQ(test::PrintEthaddr(m_dir.path(), path), ethaddr);
      EXPECT_EQ(test::XorOfWords(actual, test::StampFixture::kCalibration,
                                 test::StampFixture::kCalibrationEnd),
                0xFFFF);
    }
    // The job's image stays the input: no records were written into it.
    EXPECT_TRUE(std::equal(fixture.image.begin(), fixture.image.end(), job.imageBytes.get()));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, BatchWriterTest,
                         testing::Combine(testing::Values(WritePath::Whole, WritePath::Steady,
                                                          WritePath::SeamClone,
                                                          WritePath::XfsClone),
                                          testing::Values(1, 2)),
                         WayName);

}  // namespace
}  // namespace quillmark
