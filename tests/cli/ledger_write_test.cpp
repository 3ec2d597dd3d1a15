// A write with the MAC ledger, end to end through quillmark-cli on an
// SQLite file and on a PostgreSQL database of the tests' server: the batch
// is recorded before device 1, refused when it overlaps, and its outcome
// recorded at the end.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli_fixture.h"
#include "ledger_fixture.h"
#include "sha256.h"

namespace quillmark::test {
namespace {

using ledger::BatchDetails;
using ledger::Ending;
using testing::HasSubstr;
using testing::MatchesRegex;

constexpr std::uint64_t kStart = 0x045755000000;

class LedgerWriteTest : public CliTest, public testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    m_place = std::make_unique<FreshLedgerPlace>(GetParam());
    ASSERT_EQ(m_place->error(), "");
    auto init = ledger::InitLedger(m_place->location());
    ASSERT_TRUE(init) << init.error().message;
    auto opened = ledger::OpenLedger(m_place->location());
    ASSERT_TRUE(opened) << opened.error().message;
    m_ledger = std::move(opened.value());
  }

  const std::string& Location() const { return m_place->location().target; }

  // The tool with the request's arguments and this test's ledger.
  std::vector<std::string> WithLedger(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--image=image.img", "--ledger", Location()});
    return args;
  }
  ChildResult Write(const std::vector<std::string>& args) { return Run(WithLedger(args)); }

  std::vector<BatchDetails> Batches() {
    auto batches = m_ledger->Batches({});
    EXPECT_TRUE(batches) << batches.error().message;
    return batches ? batches.value() : std::vector<BatchDetails>{};
  }

  // A batch another station recorded.
  std::int64_t RecordElsewhere(std::uint64_t first, std::int32_t count) {
    auto reserved =
        m_ledger->Reserve({first, count, 1, "", "line9", std::string(64, 'b'), "/srv/other"});
    EXPECT_TRUE(reserved) << reserved.error().message;
    return reserved ? reserved->batchId : 0;
  }

  void AddPool(const std::string& name, std::uint64_t first, std::uint64_t count) {
    auto pool = m_ledger->AddPool(name, {first, count});
    ASSERT_TRUE(pool) << pool.error().message;
  }

  std::string ImageDigest() const { return ledger::Sha256Hex(m_image.data(), m_image.size()); }

  std::unique_ptr<FreshLedgerPlace> m_place;
  std::unique_ptr<ledger::Ledger> m_ledger;
};

TEST_P(LedgerWriteTest, RecordsTheBatchBeforeDeviceOneAndItsOutcomeAtTheEnd) {
  const ChildResult result = Write({"--count=3", "--macs-per-device=2", "--station=line3-b"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 5u) << result.out;
  EXPECT_EQ(lines[0], Said("账本已记录：新批次 1，04:57:55:00:00:00 至 04:57:55:00:00:05",
                           "Ledger recorded: new batch 1, 04:57:55:00:00:00 to 04:57:55:00:00:05"));
  EXPECT_EQ(lines[1], Saving("04:57:55:00:00:00"));
  EXPECT_EQ(lines[4], kFinishedLine);
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000004.img")), DeviceImage(kStart + 4, 2));

  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].batch.macs(), (ledger::MacRange{kStart, 6}));
  EXPECT_EQ(batches[0].batch.station, "line3-b");
  ASSERT_EQ(batches[0].writes.size(), 1u);
  const ledger::WriteRecord& write = batches[0].writes[0];
  EXPECT_EQ(write.station, "line3-b");
  EXPECT_EQ(write.imageSha256, ImageDigest());
  EXPECT_EQ(write.outputFolder, m_root + "/out");
  EXPECT_EQ(write.ending, Ending::Finished);
  EXPECT_EQ(write.devicesWritten, 3);
  EXPECT_EQ(write.devicesFailed, 0);
  EXPECT_FALSE(write.endedAt.empty());
  EXPECT_FALSE(write.writtenBy.empty());
}

// Inside, across either edge and enclosing: one line naming the batch in
// the way, exit 1, no device file, nothing new in the ledger.
TEST_P(LedgerWriteTest, AnOverlappingBatchIsRefusedWithNothingWritten) {
  const std::int64_t id = RecordElsewhere(kStart + 0x10, 16);
  for (const auto& [start, count] :
       std::vector<std::pair<const char*, const char*>>{{"04:57:55:00:00:14", "2"},
                                                        {"04:57:55:00:00:0e", "3"},
                                                        {"04:57:55:00:00:1f", "5"},
                                                        {"04:57:55:00:00:00", "40"}}) {
    SCOPED_TRACE(start);
    const ChildResult result =
        Write({std::string("--start-mac=") + start, std::string("--count=") + count});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err,
                MatchesRegex(Said("MAC地址范围与账本中的批次重叠！批次 ",
                                  "The MAC address range overlaps a batch in the ledger: Batch ") +
                             std::to_string(id) +
                             Said("：04:57:55:00:00:10 至 04:57:55:00:00:1f，工位 line9，",
                                  ": 04:57:55:00:00:10 to 04:57:55:00:00:1f, station line9, ") +
                             "[0-9T:Z-]+\n"));
    // The folder the request created goes again.
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out"));
  }
  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].writes.size(), 1u);
}

TEST_P(LedgerWriteTest, TheSameBatchAgainIsAnotherWriteOnlyIntoItsFolderOrWithRerun) {
  ASSERT_EQ(Write({"--count=2", "--quiet"}).exitCode, 0);
  const ChildResult again = Write({"--count=2"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(Lines(again.out).front(),
            Said("账本已记录：批次 1 的又一次写入，04:57:55:00:00:00 至 04:57:55:00:00:01",
                 "Ledger recorded: another write of batch 1, 04:57:55:00:00:00 to "
                 "04:57:55:00:00:01"));

  // Another folder would be a second lot with the same addresses, even quiet.
  const ChildResult elsewhere = Write({"--count=2", "--out=again", "--quiet"});
  EXPECT_EQ(elsewhere.exitCode, 1);
  EXPECT_THAT(elsewhere.err,
              MatchesRegex(Said("MAC地址范围与账本中的批次重叠！批次 1：.*"
                                "本次的输出目录与该批次的不同，确要重写该批次请加 --rerun 1 "
                                "--reason 原因\n",
                                "The MAC address range overlaps a batch in the ledger: Batch 1: "
                                ".*this run's output folder is not that batch's\\. To write that "
                                "batch again, add --rerun 1 --reason TEXT\n")));
  EXPECT_FALSE(std::filesystem::exists(m_dir / "again"));

  // On purpose: recorded with who and why, shown under that write. The
  // reason is the operator's own words, in the run's language.
  const std::string reason = Said("第一次的目录所在磁盘损坏", "the first folder's disk failed");
  const ChildResult meant = Write({"--count=2", "--out=again", "--rerun=1", "--reason=" + reason});
  EXPECT_EQ(meant.exitCode, 0) << meant.err;
  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  ASSERT_EQ(batches[0].writes.size(), 3u);
  EXPECT_EQ(batches[0].writes[1].rerunReason, "");
  EXPECT_EQ(batches[0].writes[2].outputFolder, m_root + "/again");
  EXPECT_EQ(batches[0].writes[2].ending, Ending::Finished);
  EXPECT_EQ(batches[0].writes[2].rerunReason, reason);
  EXPECT_EQ(batches[0].writes[2].writtenBy, batches[0].writes[0].writtenBy);
  const std::string show = Run({"ledger", "show", "1", "--ledger", Location()}).out;
  const std::size_t third =
      show.find(Said("  写入 ", "  write ") + std::to_string(batches[0].writes[2].id) + "  ");
  ASSERT_NE(third, std::string::npos) << show;
  const std::string onPurpose = Said("有意重写", "written again on purpose");
  EXPECT_EQ(show.find(onPurpose),
            show.find(Said("\n    有意重写（--rerun），原因：" + reason +
                               "\n    已完成  已写入 2  失败 0  ",
                           "\n    written again on purpose (--rerun), reason: " + reason +
                               "\n    finished  written 2  failed 0  "),
                      third) +
                5)
      << show;
  // Other counts from the same address are other devices: refused.
  EXPECT_EQ(Write({"--count=3", "--out=more"}).exitCode, 1);
  EXPECT_EQ(Write({"--count=3", "--out=more", "--rerun=1", "--reason=x"}).exitCode, 1);
}

// --rerun names a batch by its number, in a ledger, and says why; a reason
// the ledger would not keep is refused before any file is written.
TEST_P(LedgerWriteTest, RerunTakesABatchNumberALedgerAndAReason) {
  ASSERT_EQ(Write({"--count=2", "--quiet"}).exitCode, 0);
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string error;  // part of standard error
  } cases[] = {
      {{"--rerun=abc", "--reason=x"}, 2, "--rerun"},
      {{"--rerun=0", "--reason=x"}, 2, "--rerun"},
      {{"--rerun=-1", "--reason=x"}, 2, "--rerun"},
      {{"--rerun=1x", "--reason=x"}, 2, "--rerun"},
      {{"--rerun=1"},
       2,
       Said("--rerun 须与 --reason 同用（写明为何重写该批次）",
            "--rerun needs --reason (why the batch is written again)")},
      {{"--reason=x"},
       2,
       Said("--reason 只能与 --rerun 同用", "--reason can only be given with --rerun")},
      {{"--rerun=1", "--reason="}, 2, "--reason"},
      {{"--rerun=1", "--reason=\u00a0 \u3000"},
       1,
       Said("有意重写批次须写明原因（--reason）",
            "writing a batch again on purpose needs a reason (--reason)")},
      {{"--rerun=1", "--reason=fix \u202e"},
       1,
       Said("重写原因不能含有控制字符：fix \\xe2\\x80\\xae",
            "the rerun's reason must not hold control characters: fix \\xe2\\x80\\xae")},
      {{"--rerun=1", "--reason=line\nbreak"},
       1,
       Said("重写原因不能含有控制字符：line\\x0abreak",
            "the rerun's reason must not hold control characters: line\\x0abreak")},
      {{"--rerun=1", "--reason=" + std::string(201, 'r')},
       1,
       Said("重写原因不能超过200个字符",
            "the rerun's reason must not be longer than 200 characters")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    std::vector<std::string> args = {"--count=2", "--out=again"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ChildResult result = Write(args);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_THAT(result.err, HasSubstr(c.error));
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "again"));
  }
  const ChildResult noLedger =
      Run({"--image=image.img", "--count=2", "--rerun=1", "--reason=x", "--no-ledger"});
  EXPECT_EQ(noLedger.exitCode, 2);
  EXPECT_EQ(Batches().at(0).writes.size(), 1u);
}

// The lowest free range of the pool, printed before device 1 even when
// quiet, and written.
TEST_P(LedgerWriteTest, NextTakesThePoolsLowestFreeRange) {
  AddPool("line3", kStart, 0x100);
  RecordElsewhere(kStart, 4);
  RecordElsewhere(kStart + 6, 10);
  const ChildResult result =
      Write({"--start-mac=next", "--pool=line3", "--count=3", "--macs-per-device=2", "--quiet"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            Said("账本已记录：新批次 3，04:57:55:00:00:10 至 04:57:55:00:00:15（地址池 line3）\n",
                 "Ledger recorded: new batch 3, 04:57:55:00:00:10 to 04:57:55:00:00:15 (pool "
                 "line3)\n") +
                kFinishedOutput);
  EXPECT_EQ(m_dir.List("out"),
            (std::vector<std::string>{"fw_045755_000010.img", "fw_045755_000012.img",
                                      "fw_045755_000014.img"}));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000012.img")), DeviceImage(kStart + 0x12, 2));
  // The two free addresses left below are taken by a batch that fits.
  const ChildResult small = Write({"--start-mac=next", "--pool=line3", "--count=2"});
  EXPECT_EQ(Lines(small.out).front(),
            Said("账本已记录：新批次 4，04:57:55:00:00:04 至 04:57:55:00:00:05（地址池 line3）",
                 "Ledger recorded: new batch 4, 04:57:55:00:00:04 to 04:57:55:00:00:05 (pool "
                 "line3)"));
}

// Where pools exist a batch must lie inside one; the increment would
// otherwise carry out of the last three octets into the vendor's.
TEST_P(LedgerWriteTest, ABatchOutsideEveryPoolIsRefused) {
  AddPool("vendor", kStart, 0x1000000);
  const ChildResult carry = Write({"--start-mac=04:57:55:ff:ff:fe", "--count=3"});
  EXPECT_EQ(carry.exitCode, 1);
  EXPECT_EQ(carry.err, Said("MAC地址范围不在任何地址池内！04:57:55:ff:ff:fe 至 04:57:56:00:00:00\n",
                            "The MAC address range is in no address pool: 04:57:55:ff:ff:fe to "
                            "04:57:56:00:00:00\n"));
  AddPool("small", kStart + 0x1000000, 4);
  const ChildResult tooBig = Write({"--start-mac=next", "--pool=small", "--count=5"});
  EXPECT_EQ(tooBig.exitCode, 1);
  EXPECT_EQ(tooBig.err, Said("地址池中没有足够的连续空闲地址！地址池 small，需要 5 个\n",
                             "The address pool does not have enough consecutive free addresses: "
                             "pool small, 5 needed\n"));
  EXPECT_TRUE(m_dir.List("out").empty());
  EXPECT_TRUE(Batches().empty());
}

TEST_P(LedgerWriteTest, ADryRunSaysWhatTheLedgerWouldDoAndChangesNothing) {
  AddPool("line3", kStart, 0x100);
  const std::int64_t id = RecordElsewhere(kStart, 4);
  const ChildResult next = Write({"--start-mac=next", "--pool=line3", "--count=2", "--dry-run"});
  EXPECT_EQ(next.exitCode, 0) << next.err;
  EXPECT_EQ(next.err,
            Said("账本可以记录：新批次，04:57:55:00:00:04 至 04:57:55:00:00:05（地址池 line3）\n",
                 "The ledger can record: a new batch, 04:57:55:00:00:04 to 04:57:55:00:00:05 "
                 "(pool line3)\n"));
  EXPECT_EQ(next.out,
            "file,mac1\nfw_045755_000004.img,04:57:55:00:00:04\n"
            "fw_045755_000005.img,04:57:55:00:00:05\n");
  const ChildResult overlap = Write({"--count=5", "--dry-run"});
  EXPECT_EQ(overlap.exitCode, 1);
  EXPECT_EQ(overlap.out, "");
  EXPECT_THAT(overlap.err,
              HasSubstr(Said("批次 ", "Batch ") + std::to_string(id) + Said("：", ": ")));
  const ChildResult plain = Write({"--count=4", "--dry-run"});
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_THAT(plain.err,
              HasSubstr(Said("本次的映像与该批次的不同", "this run's image is not that batch's")));
  const ChildResult rerun =
      Write({"--count=4", "--dry-run", "--rerun=" + std::to_string(id), "--reason=another image"});
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_THAT(rerun.err, HasSubstr(Said("批次 " + std::to_string(id) + " 的又一次写入",
                                        "another write of batch " + std::to_string(id))));

  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].writes.size(), 1u);
  EXPECT_TRUE(m_dir.List("out").empty());
}

// A failed device and a stop both leave their outcome in the ledger.
TEST_P(LedgerWriteTest, AFailedOrStoppedRunRecordsHowItEnded) {
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir((m_dir / "out/fw_045755_000001.img").c_str(), 0777), 0);
  EXPECT_EQ(Write({"--count=3"}).exitCode, 3);

  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(
      CliCommand(WithLedger({"--start-mac=04:57:55:00:10:00", "--count=40", "--out=stopped"})),
      options);
  ASSERT_TRUE(tool.started());
  ASSERT_TRUE(tool.ReadLine(kChildTimeout).has_value());  // the ledger's line
  ASSERT_EQ(tool.ReadLine(kChildTimeout), Saving("04:57:55:00:10:00"));
  tool.Signal(SIGINT);
  const ChildResult stopped = tool.Finish(kChildTimeout);
  EXPECT_EQ(stopped.exitCode, 130);

  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 2u);
  ASSERT_EQ(batches[0].writes.size(), 1u);
  EXPECT_EQ(batches[0].writes[0].ending, Ending::Failed);
  EXPECT_EQ(batches[0].writes[0].devicesWritten, 1);
  EXPECT_EQ(batches[0].writes[0].devicesFailed, 1);
  ASSERT_EQ(batches[1].writes.size(), 1u);
  EXPECT_EQ(batches[1].writes[0].ending, Ending::Stopped);
  EXPECT_EQ(batches[1].writes[0].devicesWritten, static_cast<int>(m_dir.List("stopped").size()));
  EXPECT_LT(batches[1].writes[0].devicesWritten, 40);
}

// A rerun stopped part way says how to finish it, and that command is a
// rerun again with the same reason: with another image or folder than the
// batch's first write, a plain rerun would be refused.
TEST_P(LedgerWriteTest, AStoppedRerunIsFinishedAsARerun) {
  const std::int64_t id = RecordElsewhere(kStart, 40);
  const std::string rerun = "--rerun=" + std::to_string(id);
  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(
      CliCommand(WithLedger({"--count=40", "--out=again", rerun, "--reason=first-copy-lost"})),
      options);
  ASSERT_TRUE(tool.started());
  ASSERT_TRUE(tool.ReadLine(kChildTimeout).has_value());  // the ledger's line
  ASSERT_EQ(tool.ReadLine(kChildTimeout), Saving("04:57:55:00:00:00"));
  tool.Signal(SIGINT);
  const ChildResult stopped = tool.Finish(kChildTimeout);
  ASSERT_EQ(stopped.exitCode, 130) << stopped.err;

  // The command on the line that says how to finish, as a shell would
  // split it (nothing in it needs quoting); a connection string is left
  // out of it, and given again here.
  const std::size_t command = stopped.err.find("quillmark-cli ");
  ASSERT_NE(command, std::string::npos) << stopped.err;
  std::string line = stopped.err.substr(command, stopped.err.find('\n', command) - command);
  const std::string sameLedger =
      Said("（账本位置同前）", " (with the same ledger location as before)");
  const bool ledgerLeftOut =
      line.size() > sameLedger.size() &&
      line.compare(line.size() - sameLedger.size(), std::string::npos, sameLedger) == 0;
  EXPECT_EQ(ledgerLeftOut, GetParam() == Backend::PostgreSQL) << line;
  if (ledgerLeftOut)
    line.resize(line.size() - sameLedger.size());
  std::istringstream words(line);
  std::vector<std::string> args;
  for (std::string word; words >> word;)
    args.push_back(word);
  args.erase(args.begin());
  EXPECT_THAT(args, testing::IsSupersetOf(std::vector<std::string>{"--out=again", rerun,
                                                                   "--reason=first-copy-lost"}));
  if (ledgerLeftOut)
    args.insert(args.end(), {"--ledger", Location()});
  const ChildResult finished = Run(args);
  EXPECT_EQ(finished.exitCode, 0) << finished.err;

  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  ASSERT_EQ(batches[0].writes.size(), 3u);
  EXPECT_EQ(batches[0].writes[1].ending, Ending::Stopped);
  EXPECT_EQ(batches[0].writes[2].ending, Ending::Finished);
  EXPECT_EQ(batches[0].writes[2].rerunReason, "first-copy-lost");
  EXPECT_EQ(m_dir.List("again").size(), 40u);
}

// A supervisor voids the batch while its images are written: they stay,
// but the writer says so and fails, so that no one labels and ships them.
TEST_P(LedgerWriteTest, ABatchVoidedWhileItIsWrittenIsAWarningAndAFailure) {
  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(CliCommand(WithLedger({"--count=40", "--durable", "--station=line3-b"})),
                    options);
  ASSERT_TRUE(tool.started());
  ASSERT_EQ(tool.ReadLine(kChildTimeout),
            Said("账本已记录：新批次 1，04:57:55:00:00:00 至 04:57:55:00:00:27",
                 "Ledger recorded: new batch 1, 04:57:55:00:00:00 to 04:57:55:00:00:27"));
  ASSERT_EQ(tool.ReadLine(kChildTimeout), Saving("04:57:55:00:00:00"));
  ASSERT_TRUE(tool.Pause()) << "the run ended before it could be paused";
  auto voided = m_ledger->Void(1, "wrong image");
  ASSERT_TRUE(voided) << voided.error().message;
  ASSERT_TRUE(tool.Resume());
  const ChildResult result = tool.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, 3);
  EXPECT_THAT(result.err,
              MatchesRegex(Said("警告：本批次在写入期间已被作废，本次写出的文件不可使用！批次 1："
                                "04:57:55:00:00:00 至 04:57:55:00:00:27，工位 line3-b，[0-9TZ:-]+；"
                                "作废原因：wrong image\n",
                                "Warning: this batch was voided while it was being written; the "
                                "files written by this run must not be used! Batch 1: "
                                "04:57:55:00:00:00 to 04:57:55:00:00:27, station line3-b, "
                                "[0-9TZ:-]+; reason: wrong image\n")));
  EXPECT_EQ(Lines(result.out).back(), kFinishedLine);
  EXPECT_EQ(m_dir.List("out").size(), 40u);
  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_TRUE(batches[0].batch.voided);
  ASSERT_EQ(batches[0].writes.size(), 1u);
  EXPECT_EQ(batches[0].writes[0].ending, Ending::Finished);
  EXPECT_EQ(batches[0].writes[0].devicesWritten, 40);

  // A batch that stands is no warning.
  const ChildResult standing = Write({"--start-mac=04:57:55:00:10:00", "--count=2", "--out=b"});
  EXPECT_EQ(standing.exitCode, 0) << standing.err;
  EXPECT_EQ(standing.err, "");
}

// The lot goes into the ledger with the batch, a dry run takes it too, and
// the ledger's listings show it; a lot with a control character is refused
// before anything is written, as a station's name is.
TEST_P(LedgerWriteTest, TheLotIsRecordedWithTheBatchAndListed) {
  const ChildResult dry = Write({"--count=2", "--lot=L-0412", "--dry-run"});
  EXPECT_EQ(dry.exitCode, 0) << dry.err;
  const ChildResult written = Write({"--count=2", "--lot=L-0412", "--quiet"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].batch.lot, "L-0412");
  const std::string id = std::to_string(batches[0].batch.id);
  const std::string lot = Said("  批号 L-0412  ", "  lot L-0412  ");
  EXPECT_THAT(Run({"ledger", "list", "--ledger", Location()}).out, HasSubstr(lot));
  EXPECT_THAT(Run({"ledger", "show", id, "--ledger", Location()}).out, HasSubstr(lot));
  const std::vector<std::string> csv = Lines(Run({"ledger", "export", "--ledger", Location()}).out);
  ASSERT_EQ(csv.size(), 2u);
  EXPECT_THAT(csv[0], testing::EndsWith(",lot,rerun_reason,series,first_serial,last_serial"));
  // No reason (not a rerun) and no serials.
  EXPECT_THAT(csv[1], testing::EndsWith(",L-0412,,,,"));

  for (const char* lot : {"L1\nL2", "\x1b[2J"}) {
    const ChildResult refused = Write(
        {"--start-mac=04:57:55:00:10:00", "--count=2", "--out=bad", std::string("--lot=") + lot});
    EXPECT_EQ(refused.exitCode, 1) << lot;
    EXPECT_THAT(refused.err,
                HasSubstr(Said("批号不能含有控制字符", "the lot must not hold control characters")))
        << lot;
    EXPECT_EQ(refused.err.find('\x1b'), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir / "bad"));
  EXPECT_EQ(Batches().size(), 1u);
  const ChildResult noLedger = Run({"--image=image.img", "--lot=L-0412", "--out=none"});
  EXPECT_EQ(noLedger.exitCode, 2);
  EXPECT_THAT(noLedger.err, HasSubstr(Said("--lot 须与账本同用", "--lot needs a ledger")));
}

// QUILLMARK_LEDGER stands for --ledger; --no-ledger overrides it.
TEST_P(LedgerWriteTest, TheEnvironmentNamesTheLedgerUnlessTurnedOff) {
  ::setenv("QUILLMARK_LEDGER", Location().c_str(), 1);
  const ChildResult viaEnvironment = Run({"--image=image.img", "--count=2"});
  const ChildResult turnedOff =
      Run({"--image=image.img", "--count=2", "--quiet", "--no-ledger", "--out=off"});
  const ChildResult both = Run({"--image=image.img", "--no-ledger", "--ledger", Location()});
  ::unsetenv("QUILLMARK_LEDGER");
  EXPECT_EQ(viaEnvironment.exitCode, 0) << viaEnvironment.err;
  EXPECT_EQ(Lines(viaEnvironment.out).front(),
            Said("账本已记录：新批次 1，04:57:55:00:00:00 至 04:57:55:00:00:01",
                 "Ledger recorded: new batch 1, 04:57:55:00:00:00 to 04:57:55:00:00:01"));
  EXPECT_EQ(turnedOff.exitCode, 0) << turnedOff.err;
  EXPECT_EQ(turnedOff.out, kFinishedOutput);
  EXPECT_EQ(both.exitCode, 2);
  const std::vector<BatchDetails> batches = Batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].writes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Backends, LedgerWriteTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

using LedgerWriteRefusalTest = CliTest;

// A ledger that cannot be used stops the run before anything is written,
// and a password in its connection string is never shown.
TEST_F(LedgerWriteRefusalTest, AnUnusableLedgerRefusesTheRun) {
  const std::string missing = m_root + "/none.sqlite3";
  const ChildResult absent = Run({"--image=image.img", "--ledger", missing});
  EXPECT_EQ(absent.exitCode, 1);
  EXPECT_THAT(absent.err, HasSubstr(Said("账本不存在！", "There is no ledger: ") + missing));
  const ChildResult unreachable =
      Run({"--image=image.img", "--ledger", "host=" + m_root + " dbname=none password=s3cret"});
  EXPECT_EQ(unreachable.exitCode, 1);
  EXPECT_THAT(unreachable.err, HasSubstr("dbname=none"));
  EXPECT_THAT(unreachable.err, testing::Not(HasSubstr("s3cret")));
  EXPECT_EQ(unreachable.out, "");
  EXPECT_TRUE(m_dir.List("out").empty());
}

TEST_F(LedgerWriteRefusalTest, LedgerOptionsWithoutALedgerAreUsageErrors) {
  ::unsetenv("QUILLMARK_LEDGER");
  const std::string ledger = m_root + "/ledger.sqlite3";
  const std::string needsLedger = Said("--pool、--station 和 --start-mac=next 须与账本同用",
                                       "--pool, --station and --start-mac=next need a ledger");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--pool=line3"}, needsLedger},
      {{"--station=a"}, needsLedger},
      {{"--start-mac=next"}, needsLedger},
      {{"--start-mac=next", "--ledger", ledger},
       Said("--start-mac=next 须与 --pool 同用", "--start-mac=next needs --pool")},
      {{"--no-ledger", "--ledger", ledger},
       Said("--no-ledger 不能与 --ledger 同用", "--no-ledger cannot be given with --ledger")},
  };
  for (const auto& [args, error] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    std::vector<std::string> all{"--image=image.img"};
    all.insert(all.end(), args.begin(), args.end());
    const ChildResult result = Run(all);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_THAT(result.err, HasSubstr("quillmark-cli: " + error));
  }
}

}  // namespace
}  // namespace quillmark::test
