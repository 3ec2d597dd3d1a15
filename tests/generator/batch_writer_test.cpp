#include "batch_writer.h"

#include <linux/magic.h>
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
#include <system_error>
#include <thread>
#include <tuple>

#include "device_file_writer.h"
#include "fixture_image.h"
#include "scratch_dir.h"
#include "status_lines.h"
#include "whole_copy.h"

namespace quillmark {
namespace {

using test::k16MiB;
using test::k4MiB;
using test::Saving;
using test::ScratchDir;

// Records every call in order, so tests can check the exact sequence.
class RecordingHost : public BatchHost {
 public:
  explicit RecordingHost(std::string directory) : m_directory(std::move(directory)) {}
  std::string GetOutputDirectory() override {
    calls.push_back("dir");
    return m_directory;
  }
  void SetStatus(StatusKind kind, std::string text) override {
    kinds.push_back(kind);
    calls.push_back(text);
    if (onStatus)
      onStatus(text);
  }
  void OnRunFinished(bool finished) override {
    calls.push_back(finished ? "finished(true)" : "finished(false)");
  }
  bool StopRequested() override { return ++asked > stopAfter; }
  void OnDeviceDone(const MacAddress& first, bool written) override {
    done.push_back(first.ToFileName() + (written ? "" : " failed"));
  }

  std::vector<std::string> calls;
  std::vector<StatusKind> kinds;
  std::vector<std::string> done;
  std::function<void(const std::string&)> onStatus;
  int stopAfter = 1 << 30;
  int asked = 0;

 private:
  std::string m_directory;
};

GenerationJob MakeJob(const char* start, int devices, int perDevice, std::uint32_t size,
                      std::string directory) {
  GenerationJob job;
  job.startMac = *MacAddress::Parse(start);
  job.deviceCount = devices;
  job.macsPerDevice = perDevice;
  const std::vector<std::uint8_t> image = test::MakeValidImage(size);
  job.imageBytes.reset(new std::uint8_t[size]);
  std::memcpy(job.imageBytes.get(), image.data(), size);
  job.imageSize = static_cast<std::int32_t>(size);
  job.outputDirectory = std::move(directory);
  return job;
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

// The system's files, cloning as the write path asks, counting clones and
// open handles, and able to fail the second device's write or close.
// Several lanes call it at once.
class TestFiles : public SystemFiles {
 public:
  enum class Fault { None, ShortWrite, CloseError };
  explicit TestFiles(WritePath path, Fault fault = Fault::None) : m_path(path), m_fault(fault) {}

  FileHandle CreateExclusive(const std::string& path) override {
    ++m_created;
    const FileHandle file = Opened(SystemFiles::CreateExclusive(path));
    if (path.find("_000001.img") != std::string::npos)
      m_faulty = file;
    return file;
  }
  FileHandle CreateUnnamed(const std::string& directory) override {
    return Opened(SystemFiles::CreateUnnamed(directory));
  }
  CloneResult CloneFile(FileHandle target, FileHandle source) override {
    const CloneResult result = m_path != WritePath::SeamClone
                                   ? SystemFiles::CloneFile(target, source)
                               : test::CopyWholeFile(target, source) ? CloneResult::Cloned
                                                                     : CloneResult::Failed;
    m_clones += result == CloneResult::Cloned;
    return result;
  }
  std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) override {
    return SystemFiles::WriteAll(file, data, Cut(file, size));
  }
  std::uint64_t WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                        std::uint64_t size) override {
    return SystemFiles::WriteAt(file, offset, data, Cut(file, size));
  }
  FileHandle Duplicate(FileHandle file) override { return Opened(SystemFiles::Duplicate(file)); }
  void ReleaseWhenWritten(FileHandle file) override {
    ++m_released;
    SystemFiles::ReleaseWhenWritten(file);
  }
  bool Close(FileHandle file) override {
    --m_openFiles;
    if (file != m_faulty)
      return SystemFiles::Close(file);
    m_faulty = kNoFile;  // before its number can come back for another file
    return SystemFiles::Close(file) && m_fault != Fault::CloseError;
  }

  int created() const { return m_created; }
  int clones() const { return m_clones; }
  int released() const { return m_released; }
  int openFiles() const { return m_openFiles; }

 private:
  FileHandle Opened(FileHandle file) {
    m_openFiles += file != kNoFile;
    return file;
  }
  std::uint64_t Cut(FileHandle file, std::uint64_t size) const {
    return m_fault == Fault::ShortWrite && file == m_faulty ? size - 1 : size;
  }

  WritePath m_path;
  Fault m_fault;
  std::atomic<FileHandle> m_faulty{kNoFile};
  std::atomic<int> m_created{0};
  std::atomic<int> m_clones{0};
  std::atomic<int> m_released{0};
  std::atomic<int> m_openFiles{0};
};

// A small XFS with shared extents, mounted for one test and unmounted after
// it; ScratchDir folders land on it while it stands.
class XfsMount {
 public:
  explicit XfsMount(bool wanted) {
    if (!wanted || ::geteuid() != 0)
      return;
    const std::string image = m_holder / "xfs.img";
    const std::string point = m_holder / "mnt";
    const std::string make = "truncate -s 512M '" + image + "' && mkfs.xfs -q -m reflink=1 '" +
                             image + "' >/dev/null 2>&1 && mkdir '" + point +
                             "' && mount -o loop '" + image + "' '" + point + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0)
      return;
    m_point = point;
    const char* previous = std::getenv("TMPDIR");
    m_previousTmp = previous ? previous : "";
    ::setenv("TMPDIR", m_point.c_str(), 1);
  }
  ~XfsMount() {
    if (m_point.empty())
      return;
    m_previousTmp.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", m_previousTmp.c_str(), 1);
    (void)std::system(("umount '" + m_point + "'").c_str());
  }
  bool mounted() const { return !m_point.empty(); }

 private:
  ScratchDir m_holder;
  std::string m_point;
  std::string m_previousTmp;
};

class BatchWriterTest : public testing::TestWithParam<Way> {
 protected:
  static WritePath Path() { return std::get<0>(GetParam()); }
  static int Lanes() { return std::get<1>(GetParam()); }
  void SetUp() override {
    if (Path() == WritePath::XfsClone && !m_xfs.mounted())
      GTEST_SKIP() << "needs root and a loop-mounted XFS with reflinks";
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
  void ExpectPathTaken(const TestFiles& files, int devices) const {
    EXPECT_EQ(files.clones() >= devices, Clones());
    EXPECT_EQ(files.released() >= devices - 1, Path() == WritePath::Steady);
    EXPECT_EQ(files.openFiles(), 0);
  }

  XfsMount m_xfs{Path() == WritePath::XfsClone};
  ScratchDir m_dir;
  TestFiles m_files{Path()};
};

TEST_P(BatchWriterTest, DefaultJobWritesEveryDeviceExactly) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 255, 1, k4MiB, m_dir / "out");
  ASSERT_EQ(::mkdir(job.outputDirectory.c_str(), 0777), 0);
  RecordingHost host(job.outputDirectory);
  const BatchOutcome outcome = GenerationWorker(job, host, m_files, Options());
  ExpectPathTaken(m_files, 255);

  std::vector<std::string> expectedCalls{"dir"};
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
    RecordingHost host(dir.path());
    TestFiles files(Path());
    EXPECT_TRUE(GenerationWorker(job, host, files, Options()).finished);
    ExpectPathTaken(files, 2);
    ASSERT_EQ(host.calls.size(), 4u);
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      EXPECT_EQ(host.calls[1 + i], Saving(c.files[i].second));
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
  RecordingHost host(m_dir.path());
  EXPECT_TRUE(GenerationWorker(job, host, m_files, Options()).finished);
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
    RecordingHost host(job.outputDirectory);
    const BatchOutcome outcome = GenerationWorker(job, host, m_files, Options());
    EXPECT_EQ(m_files.openFiles(), 0);

    EXPECT_FALSE(outcome.finished);
    EXPECT_EQ(outcome.devicesWritten, failing - 1);
    ASSERT_GE(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[host.calls.size() - 2], CreationFailedText(dir.path() + "//" + name));
    EXPECT_EQ(host.calls.back(), "finished(false)");
    EXPECT_EQ(host.calls.size(), 1u + failing + 2u);
    EXPECT_EQ(dir.List().size(), std::size_t(failing));  // earlier files and the directory
  }
}

TEST_P(BatchWriterTest, OneDeviceCreationFailureIsNotFinished) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 1, 1, k4MiB, m_dir / "gone");
  RecordingHost host(job.outputDirectory);
  EXPECT_FALSE(GenerationWorker(job, host, m_files, Options()).finished);
  EXPECT_EQ(host.calls, (std::vector<std::string>{
                            "dir", Saving("04:57:55:00:00:00"),
                            CreationFailedText(m_dir.path() + "/gone/fw_045755_000000.img"),
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
  RecordingHost host("out");
  // Moving the current directory mid-run (as the image picker does) must
  // not redirect the rest of the run.
  host.onStatus = [&](const std::string&) { (void)::chdir(elsewhere.path().c_str()); };
  const BatchOutcome outcome = GenerationWorker(job, host, m_files, Options());
  ASSERT_EQ(::chdir(previous), 0);
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(m_dir.List("out").size(), 3u);
  EXPECT_TRUE(elsewhere.List().empty());
}

TEST_P(BatchWriterTest, StopEndsTheRunBeforeTheNextDevice) {
  for (int stopAfter : {0, 2}) {
    ScratchDir dir;
    GenerationJob job = MakeJob("04:57:55:00:00:00", 5, 1, k4MiB, dir.path());
    RecordingHost host(dir.path());
    host.stopAfter = stopAfter;
    TestFiles files(Path());
    const BatchOutcome outcome = GenerationWorker(job, host, files, Options());
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
    EXPECT_EQ(host.calls.size(), 1u + stopAfter + 1u);
  }
}

// A short write made real: the file-size limit stops every write short.
TEST_P(BatchWriterTest, ShortWriteLeavesNoImageUnderTheDeviceName) {
  GenerationJob job = MakeJob("04:57:55:00:00:00", 2, 1, k4MiB, m_dir.path());
  test::WriteFileBytes(m_dir / "fw_045755_000000.img", {1, 2, 3});  // an older image
  RecordingHost host(m_dir.path());
  const auto runUnderFileSizeLimit = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{k4MiB / 2, k4MiB / 2};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const BatchOutcome outcome = GenerationWorker(job, host, m_files, Options());
    const std::vector<std::string> expected{"dir",
                                            Saving("04:57:55:00:00:00"),
                                            WriteFailedText(m_dir.path() + "/fw_045755_000000.img"),
                                            Saving("04:57:55:00:00:01"),
                                            WriteFailedText(m_dir.path() + "/fw_045755_000001.img"),
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
  for (auto fault : {TestFiles::Fault::ShortWrite, TestFiles::Fault::CloseError}) {
    ScratchDir dir;
    GenerationJob job = MakeJob("04:57:55:00:00:00", 3, 1, k4MiB, dir.path());
    TestFiles files(Path(), fault);
    RecordingHost host(dir.path());
    const BatchOutcome outcome = GenerationWorker(job, host, files, Options());
    ExpectPathTaken(files, 3);
    const std::string failure = WriteFailedText(dir.path() + "/fw_045755_000001.img");
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "dir", Saving("04:57:55:00:00:00"), Saving("04:57:55:00:00:01"),
                              failure, Saving("04:57:55:00:00:02"), failure, "finished(false)"}));
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
  RecordingHost host(m_dir.path());
  EXPECT_TRUE(GenerationWorker(job, host, m_files, Options(true)).finished);
  EXPECT_EQ(m_files.clones() >= 2, Clones());
  EXPECT_EQ(m_files.openFiles(), 0);
  ExpectDeviceFile(m_dir / "fw_045755_000000.img", k4MiB, "04:57:55:00:00:00", 3);
  ExpectDeviceFile(m_dir / "fw_045755_000003.img", k4MiB, "04:57:55:00:00:03", 3);
  EXPECT_EQ(m_dir.List().size(), 2u);
}

// What the command-line tool's free-space check may ask before a batch.
TEST_P(BatchWriterTest, SharedDataIsReportedOnlyWhereFilesCanBeCloned) {
  SystemFiles files;
  struct statfs info {};
  ASSERT_EQ(::statfs(m_dir.path().c_str(), &info), 0);
  if (Path() == WritePath::XfsClone) {
    EXPECT_TRUE(DirectorySharesData(files, m_dir.path()));
  } else if (info.f_type == EXT4_SUPER_MAGIC || info.f_type == TMPFS_MAGIC) {
    EXPECT_FALSE(DirectorySharesData(files, m_dir.path()));
  }
  EXPECT_FALSE(DirectorySharesData(files, m_dir / "missing"));
  EXPECT_TRUE(m_dir.List().empty());  // the trial leaves nothing behind
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
    RecordingHost host(dir.path());
    bool exact = GenerationWorker(job, host).finished && dir.List().size() == 4u;
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

INSTANTIATE_TEST_SUITE_P(EveryWay, BatchWriterTest,
                         testing::Combine(testing::Values(WritePath::Whole, WritePath::Steady,
                                                          WritePath::SeamClone,
                                                          WritePath::XfsClone),
                                          testing::Values(1, 2)),
                         WayName);

}  // namespace
}  // namespace quillmark
