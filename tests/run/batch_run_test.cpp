// A run's order before device 1 on a file system in memory: each refusal
// is shown once, and a refused request takes away the output folder it
// created, never one that was there or that another run holds.
#include <gtest/gtest.h>

#include "batch_run.h"
#include "faulty_files.h"
#include "fixture_image.h"
#include "ledger.h"
#include "ledger_location.h"
#include "memory_files.h"
#include "recording_host.h"
#include "scratch_dir.h"
#include "status_texts.h"

namespace quillmark::test {
namespace {

struct Shown {
  std::vector<std::string> refusals;
  std::vector<RunNote> notes;
};

class RecordingFrontEnd final : public RunFrontEnd {
 public:
  explicit RecordingFrontEnd(Shown& shown) : m_shown(shown) {}
  void ShowRefusal(const std::string& message, MessageStyle) override {
    m_shown.refusals.push_back(message);
  }
  void ShowNote(RunNote note, const std::string&) override { m_shown.notes.push_back(note); }
  std::string CheckOwnOutputs(const GenerationJob&, PlatformFiles&) override { return ownRefusal; }
  std::string ownRefusal;

 private:
  Shown& m_shown;
};

class BatchRunTest : public testing::Test {
 protected:
  BatchRunTest() { m_files.files["image.img"] = MakeValidImage(k4MiB); }

  // Prepares a run of four 4 MiB devices into "out".
  bool Prepare() {
    GenerationJob job;
    BatchRun run(job, m_frontEnd, m_files);
    return run.Prepare({"04:57:55:00:00:00", "4", "1", "image.img", "out"}, LedgerRequest{});
  }

  MemoryFiles m_files;
  Shown m_shown;
  RecordingFrontEnd m_frontEnd{m_shown};
};

TEST_F(BatchRunTest, ARefusalAfterAcceptanceRemovesTheFolderItCreated) {
  const std::string ownRefusal = "清单文件无法写入！list.csv";
  const std::string noRoom =
      "输出目录空间不足！需要20971520字节（整批映像及一个正在写入的映像），可用1024字节（剩余空间及"
      "本批将替换的文件）";
  for (const bool ownOutputs : {true, false}) {
    SCOPED_TRACE(ownOutputs ? "own outputs" : "free space");
    m_shown = {};
    m_frontEnd.ownRefusal = ownOutputs ? ownRefusal : "";
    m_files.availableBytes = 1024;
    EXPECT_FALSE(Prepare());
    EXPECT_EQ(m_shown.refusals, std::vector<std::string>{ownOutputs ? ownRefusal : noRoom});
    EXPECT_EQ(m_files.directories.count("out"), 0u);
  }
}

TEST_F(BatchRunTest, AFolderThatWasThereStays) {
  m_files.directories.insert("out");
  m_files.availableBytes = 1024;
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(m_shown.refusals.size(), 1u);
  EXPECT_EQ(m_files.directories.count("out"), 1u);
}

// Another run claimed the folder between its creation and this run's
// claim: this run is refused, and the folder stays for the other.
TEST_F(BatchRunTest, AFolderAnotherRunClaimedStays) {
  std::unique_ptr<OutputFolder> other;
  m_files.onDirectoryMade = [&](const std::string& path) {
    other = ClaimOutputFolder(m_files, path).folder;
  };
  EXPECT_FALSE(Prepare());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(m_shown.refusals, std::vector<std::string>{FolderBusyText("out")});
  EXPECT_EQ(m_files.directories.count("out"), 1u);
}

TEST_F(BatchRunTest, AnAcceptedRunHoldsItsFolderAndSaysWhatItCouldNotCheck) {
  m_files.availableBytes.reset();
  GenerationJob job;
  BatchRun run(job, m_frontEnd, m_files);
  ASSERT_TRUE(run.Prepare({"04:57:55:00:00:00", "4", "1", "image.img", "out"}, LedgerRequest{}));
  EXPECT_EQ(m_shown.notes, std::vector<RunNote>{RunNote::SpaceNotChecked});
  EXPECT_FALSE(ClaimOutputFolder(m_files, "out").folder);
  run.Abandon();
  EXPECT_TRUE(ClaimOutputFolder(m_files, "out").folder);
}

// A durable run whose folder could not be forced to the disk at its end:
// the ledger records every device written and none failed, and the write
// as failed, as the run's own count says.
TEST(BatchRunLedgerTest, AFailedFolderFlushIsRecordedWithoutAnExtraFailedDevice) {
  const ScratchDir dir;
  WriteFileBytes(dir / "image.img", MakeValidImage(k4MiB));
  const std::string ledgerPath = dir / "ledger.sqlite3";
  const auto location = ledger::ParseLedgerLocation(ledgerPath);
  ASSERT_TRUE(location);
  ASSERT_TRUE(ledger::InitLedger(location.value(), ledger::kLedgerSchemaVersion));

  FaultyFiles files;
  files.folderFlushFails = true;
  Shown shown;
  RecordingFrontEnd frontEnd(shown);
  GenerationJob job;
  BatchRun run(job, frontEnd, files);
  LedgerRequest request;
  request.use = true;
  request.location = ledgerPath;
  request.station = "lineA";
  ASSERT_TRUE(run.Prepare({"04:57:55:00:00:00", "4", "1", dir / "image.img", dir / "out"}, request))
      << (shown.refusals.empty() ? "" : shown.refusals.front());
  test::RecordingHost host;
  const BatchOutcome outcome = run.Write(host, WriterOptions{true});
  EXPECT_EQ(outcome.devicesWritten + outcome.devicesFailed + outcome.devicesNotReached, 4);
  EXPECT_FALSE(outcome.finished);
  ASSERT_GE(host.calls.size(), 2u);
  EXPECT_EQ(host.calls.back(), test::RecordingHost::kUnfinished);
  EXPECT_EQ(host.calls[host.calls.size() - 2], WriteFailedText(dir / "out"));

  auto opened = ledger::OpenLedger(location.value());
  ASSERT_TRUE(opened);
  const auto batches = opened.value()->Batches({});
  ASSERT_TRUE(batches);
  ASSERT_EQ(batches.value().size(), 1u);
  ASSERT_EQ(batches.value()[0].writes.size(), 1u);
  const ledger::WriteRecord& write = batches.value()[0].writes[0];
  EXPECT_EQ(write.devicesWritten, 4);
  EXPECT_EQ(write.devicesFailed, 0);
  EXPECT_EQ(write.ending, ledger::Ending::Failed);
}

}  // namespace
}  // namespace quillmark::test
