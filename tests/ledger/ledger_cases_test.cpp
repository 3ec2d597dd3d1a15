// The same cases on both back ends: what is recorded, what is refused and
// how the refusal names the batch in the way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ledger_fixture.h"
#include "ledger_listing.h"
#include "ledger_rules.h"
#include "ledger_texts.h"
#include "mac_number.h"

namespace quillmark::test {
namespace {

using namespace ledger;
using testing::HasSubstr;
using testing::MatchesRegex;

constexpr const char* kUtcTime = "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z";

TEST_P(LedgerTest, RecordsABatchWithItsStationImageFolderUserAndTime) {
  const Reservation reserved = Reserve(Request(kVendor, 10, 2));
  EXPECT_GT(reserved.batchId, 0);
  EXPECT_GT(reserved.writeId, 0);
  EXPECT_EQ(reserved.macs, (MacRange{kVendor, 20}));
  EXPECT_FALSE(reserved.rewrite);

  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 1u);
  const BatchSummary& batch = batches[0].batch;
  EXPECT_EQ(batch.id, reserved.batchId);
  EXPECT_EQ(batch.firstMac, kVendor);
  EXPECT_EQ(batch.deviceCount, 10);
  EXPECT_EQ(batch.macsPerDevice, 2);
  EXPECT_EQ(batch.station, "line3-a");
  EXPECT_FALSE(batch.recordedBy.empty());
  EXPECT_THAT(batch.recordedAt, MatchesRegex(kUtcTime));
  ASSERT_EQ(batches[0].writes.size(), 1u);
  const WriteRecord& write = batches[0].writes[0];
  EXPECT_EQ(write.id, reserved.writeId);
  EXPECT_EQ(write.imageSha256, kDigest);
  EXPECT_EQ(write.outputFolder, "/srv/line3/lot-0412");
  EXPECT_EQ(write.ending, Ending::None);  // reserved: a crash now leaves it so, still blocking
  EXPECT_EQ(StateText(batches[0]), "已预留");
}

TEST_P(LedgerTest, TheOutcomeIsRecordedOnceAtTheEnd) {
  const Reservation reserved = Reserve(Request(kVendor, 10));
  Status recorded = m_ledger->RecordOutcome(reserved.writeId, WriteOutcome{7, 1, true, false});
  ASSERT_TRUE(recorded) << recorded.error().message;
  const WriteRecord write = AllBatches()[0].writes[0];
  EXPECT_EQ(write.ending, Ending::Stopped);
  EXPECT_EQ(write.devicesWritten, 7);
  EXPECT_EQ(write.devicesFailed, 1);
  EXPECT_THAT(write.endedAt, MatchesRegex(kUtcTime));

  Status again = m_ledger->RecordOutcome(reserved.writeId, WriteOutcome{10, 0, false, true});
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().fault, LedgerFault::NoSuchBatch);
  EXPECT_EQ(AllBatches()[0].writes[0].ending, Ending::Stopped);
  EXPECT_FALSE(m_ledger->RecordOutcome(reserved.writeId + 100, WriteOutcome{}));
}

struct OverlapCase {
  const char* name;
  std::uint64_t first;
  std::int32_t count;
  std::int32_t n;
  bool refused;
};

// Against one recorded batch of the addresses [100, 200).
const OverlapCase kOverlapCases[] = {
    {"inside", 150, 10, 1, true},
    {"across the lower edge", 90, 20, 1, true},
    {"across the upper edge", 190, 20, 1, true},
    {"enclosing", 50, 100, 4, true},
    {"same first address, fewer devices", 100, 50, 1, true},
    {"same addresses, other devices", 100, 50, 2, true},
    {"last address only", 199, 1, 1, true},
    {"first address only", 50, 51, 1, true},
    {"just below", 90, 10, 1, false},
    {"just above", 200, 5, 2, false},
};

TEST_P(LedgerTest, OverlapsAreRefusedNamingTheBatchInTheWay) {
  const Reservation first = Reserve(Request(kVendor + 100, 100));
  for (const OverlapCase& c : kOverlapCases) {
    SCOPED_TRACE(c.name);
    Result<Reservation> attempt = m_ledger->Reserve(Request(kVendor + c.first, c.count, c.n));
    if (!c.refused) {
      EXPECT_TRUE(attempt) << attempt.error().message;
      continue;
    }
    ASSERT_FALSE(attempt);
    EXPECT_EQ(attempt.error().fault, LedgerFault::Overlap);
    ASSERT_TRUE(attempt.error().batch);
    EXPECT_EQ(attempt.error().batch->id, first.batchId);
    EXPECT_THAT(
        attempt.error().message,
        MatchesRegex("MAC地址范围与账本中的批次重叠！批次 " + std::to_string(first.batchId) +
                     "：04:57:55:00:00:64 至 04:57:55:00:00:c7，工位 line3-a，" + kUtcTime));
  }
  EXPECT_EQ(AllBatches().size(), 3u);  // the two that did not overlap, and the first
}

TEST_P(LedgerTest, AnOverlapNamesTheLowestBatchInTheWay) {
  Reserve(Request(kVendor + 300, 10));
  const Reservation lower = Reserve(Request(kVendor + 100, 10));
  Result<Reservation> attempt = m_ledger->Reserve(Request(kVendor, 1000));
  ASSERT_FALSE(attempt);
  EXPECT_EQ(attempt.error().batch->id, lower.batchId);
}

TEST_P(LedgerTest, TheSameDevicesAgainAreAnotherWriteOnlyAsAPlainRerun) {
  // Each case: the batch's first write (ended or not), then the same
  // devices again, changed as the case says.
  struct RepeatCase {
    const char* name;
    bool firstEnded;
    std::string station, image, folder;
    bool rerunFlag;
    std::optional<LedgerFault> refusal;
    const char* text;  // part of the refusal
  };
  const std::string image = Request(kVendor, 1).imageSha256;
  const std::string folder = Request(kVendor, 1).outputFolder;
  const RepeatCase cases[] = {
      {"same image, folder and station", true, "line3-a", image, folder, false, {}, ""},
      {"another image", true, "line3-a", std::string(64, 'b'), folder, false, LedgerFault::Overlap,
       "本次的映像与该批次的不同，确要重写该批次请加 --rerun "},
      {"another folder", true, "line3-a", image, "/srv/day2", false, LedgerFault::Overlap,
       "本次的输出目录与该批次的不同"},
      {"another station", true, "line4-b", image, folder, false, LedgerFault::Overlap,
       "本次的工位与该批次的不同"},
      {"first write not ended", false, "line3-a", image, folder, false,
       LedgerFault::BatchInProgress, "该批次的另一次写入尚未结束！"},
      {"another station with --rerun",
       true,
       "line4-b",
       std::string(64, 'b'),
       "/srv/day2",
       true,
       {},
       ""},
      {"unended write with --rerun", false, "line3-a", image, folder, true, {}, ""},
  };
  std::uint64_t first = kVendor;
  for (const RepeatCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Reservation original = Reserve(Request(first, 4, 2));
    if (c.firstEnded) {
      ASSERT_TRUE(m_ledger->RecordOutcome(original.writeId, WriteOutcome{4, 0, false, true}));
    }
    BatchRequest again = Request(first, 4, 2);
    again.station = c.station;
    again.imageSha256 = c.image;
    again.outputFolder = c.folder;
    if (c.rerunFlag) {
      again.rerunBatch = original.batchId;
      again.rerunReason = "image corrected";
    }
    for (const bool record : {false, true}) {
      Result<Reservation> answer = record ? m_ledger->Reserve(again) : m_ledger->Check(again);
      if (c.refusal) {
        ASSERT_FALSE(answer);
        EXPECT_EQ(answer.error().fault, *c.refusal);
        EXPECT_EQ(answer.error().batch->id, original.batchId);
        EXPECT_THAT(answer.error().message, testing::HasSubstr(c.text));
        // How to mean it: the batch named, and why asked for.
        EXPECT_THAT(answer.error().message,
                    testing::EndsWith("请加 --rerun " + std::to_string(original.batchId) +
                                      " --reason 原因"));
      } else {
        ASSERT_TRUE(answer) << answer.error().message;
        EXPECT_TRUE(answer->rewrite);
        EXPECT_EQ(answer->batchId, original.batchId);
      }
    }
    first += 8;
  }
  // Every write is on record under its batch, the batch keeps its station;
  // only a write under --rerun has a reason.
  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), std::size(cases));
  EXPECT_EQ(batches[0].writes.size(), 2u);
  EXPECT_EQ(batches[0].writes[1].rerunReason, "");
  EXPECT_EQ(batches[5].writes.size(), 2u);
  EXPECT_EQ(batches[5].writes[0].rerunReason, "");
  EXPECT_EQ(batches[5].writes[1].station, "line4-b");
  EXPECT_EQ(batches[5].writes[1].rerunReason, "image corrected");
  EXPECT_EQ(batches[5].batch.station, "line3-a");
}

// Who wrote a batch again on purpose is the write's user; why is its
// reason, shown under that write and in the export's last column.
TEST_P(LedgerTest, ARerunIsRecordedWithWhoAndWhy) {
  const Reservation original = Reserve(Request(kVendor, 4));
  ASSERT_TRUE(m_ledger->RecordOutcome(original.writeId, WriteOutcome{4, 0, false, true}));
  BatchRequest again = Request(kVendor, 4);
  again.imageSha256 = std::string(64, 'c');
  again.rerunBatch = original.batchId;
  again.rerunReason = "换映像 2.4.2, \"signed\"";
  const Reservation rerun = Reserve(again);
  EXPECT_EQ(rerun.batchId, original.batchId);

  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 1u);
  ASSERT_EQ(batches[0].writes.size(), 2u);
  EXPECT_EQ(batches[0].writes[0].rerunReason, "");
  EXPECT_EQ(batches[0].writes[1].rerunReason, again.rerunReason);
  EXPECT_FALSE(batches[0].writes[1].writtenBy.empty());
  // Under the second write, and only there.
  const std::string shown = BatchDetailsText(batches[0]);
  const std::size_t secondWrite = shown.find("  写入 " + std::to_string(rerun.writeId));
  const std::size_t reason =
      shown.find("\n    有意重写（--rerun），原因：换映像 2.4.2, \"signed\"\n    未记录结果");
  ASSERT_NE(reason, std::string::npos) << shown;
  EXPECT_GT(reason, secondWrite);
  EXPECT_EQ(shown.find("有意重写"), reason + 5);
}

// A rerun says why in one line of sane length; nothing else has a reason.
// Each is refused before the database, and nothing is recorded.
TEST_P(LedgerTest, ARerunsReasonIsRequiredAndChecked) {
  const Reservation original = Reserve(Request(kVendor, 4));
  ASSERT_TRUE(m_ledger->RecordOutcome(original.writeId, WriteOutcome{4, 0, false, true}));
  std::string longest;
  for (std::size_t i = 0; i < kMaxRerunReasonCharacters; ++i)
    longest += "因";
  const struct {
    const char* name;
    bool rerun;
    std::string reason;
    const char* refusal;  // part of it; none: accepted
  } cases[] = {
      {"no reason", true, "", "有意重写批次须写明原因（--reason）"},
      {"blanks only", true, "   ", "有意重写批次须写明原因"},
      {"a line break", true, "two\nlines", "重写原因不能含有控制字符：two\\x0alines"},
      {"an escape sequence", true, "red\x1b[31m", "重写原因不能含有控制字符：red\\x1b[31m"},
      {"a C1 control", true, "c1 \xc2\x9b", "重写原因不能含有控制字符"},
      {"not UTF-8", true, "bad \xff", "重写原因不是有效的UTF-8文本！bad \\xff"},
      {"one character too many", true, longest + "x", "重写原因不能超过200个字符"},
      {"a reason without --rerun", false, "why", "只有有意重写（--rerun）才记录原因"},
      {"the longest", true, longest, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BatchRequest request = Request(kVendor, 4);
    if (c.rerun)
      request.rerunBatch = original.batchId;
    request.rerunReason = c.reason;
    for (const bool record : {false, true}) {
      Result<Reservation> answer = record ? m_ledger->Reserve(request) : m_ledger->Check(request);
      if (c.refusal) {
        ASSERT_FALSE(answer);
        EXPECT_EQ(answer.error().fault, LedgerFault::InvalidRequest);
        EXPECT_THAT(answer.error().message, HasSubstr(c.refusal));
      } else {
        ASSERT_TRUE(answer) << answer.error().message;
      }
    }
  }
  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 1u);
  ASSERT_EQ(batches[0].writes.size(), 2u);
  EXPECT_EQ(batches[0].writes[1].rerunReason, longest);
}

TEST_P(LedgerTest, RerunMustNameTheBatchOfTheseDevices) {
  const Reservation batch = Reserve(Request(kVendor, 4));
  BatchRequest other = Request(kVendor + 100, 4);
  other.rerunBatch = batch.batchId;
  other.rerunReason = "wrong image";
  Result<Reservation> answer = m_ledger->Reserve(other);
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.error().message,
            "--rerun 指定的批次与本次的MAC地址范围不符！批次 " + std::to_string(batch.batchId));
  EXPECT_EQ(AllBatches().size(), 1u);
}

TEST_P(LedgerTest, CheckAnswersAsReserveWouldAndChangesNothing) {
  const Reservation first = Reserve(Request(kVendor, 10));
  ASSERT_TRUE(m_ledger->RecordOutcome(first.writeId, WriteOutcome{10, 0, false, true}));
  Result<Reservation> fresh = m_ledger->Check(Request(kVendor + 10, 10));
  ASSERT_TRUE(fresh) << fresh.error().message;
  EXPECT_EQ(fresh->batchId, 0);
  EXPECT_EQ(fresh->writeId, 0);
  Result<Reservation> same = m_ledger->Check(Request(kVendor, 10));
  ASSERT_TRUE(same);
  EXPECT_TRUE(same->rewrite);
  EXPECT_EQ(same->batchId, first.batchId);
  Result<Reservation> overlap = m_ledger->Check(Request(kVendor + 5, 10));
  ASSERT_FALSE(overlap);
  EXPECT_EQ(overlap.error().fault, LedgerFault::Overlap);

  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].writes.size(), 1u);
}

// The lot is the batch's: recorded with it, shown with it, and another lot
// for the same devices is another lot of devices unless --rerun says so.
TEST_P(LedgerTest, TheLotIsRecordedWithTheBatch) {
  BatchRequest request = Request(kVendor, 4);
  request.lot = "L-0412 工单7";
  const Reservation reserved = Reserve(request);
  ASSERT_TRUE(m_ledger->RecordOutcome(reserved.writeId, WriteOutcome{4, 0, false, true}));
  Reserve(Request(kVendor + 4, 4));  // none given, none recorded
  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].batch.lot, "L-0412 工单7");
  EXPECT_EQ(batches[1].batch.lot, "");
  const std::string listing = BatchListing(batches);
  EXPECT_THAT(listing, HasSubstr("工位 line3-a  批号 L-0412 工单7  "));
  EXPECT_EQ(listing.find("批号", listing.find('\n')), std::string::npos);
  EXPECT_THAT(BatchDetailsText(batches[0]), HasSubstr("  批号 L-0412 工单7  记录者 "));

  EXPECT_TRUE(m_ledger->Check(request));  // the same lot again: a plain rerun
  request.lot = "L-0413";
  Result<Reservation> other = m_ledger->Check(request);
  ASSERT_FALSE(other);
  EXPECT_THAT(other.error().message, HasSubstr("本次的批号与该批次的不同"));
  request.rerunBatch = reserved.batchId;
  request.rerunReason = "lot renumbered";
  EXPECT_TRUE(m_ledger->Reserve(request));
  EXPECT_EQ(AllBatches()[0].batch.lot, "L-0412 工单7");
}

TEST_P(LedgerTest, RequestsTheLedgerCannotRecordAreRefusedBeforeTheDatabase) {
  BatchRequest badDigest = Request(kVendor, 1);
  badDigest.imageSha256 = std::string(64, 'A');
  BatchRequest noStation = Request(kVendor, 1);
  noStation.station.clear();
  BatchRequest forgedLine = Request(kVendor, 1);
  forgedLine.station = "line3\n999  04:57:55:00:00:00  boss";
  BatchRequest escape = Request(kVendor, 1);
  escape.station = "\x1b]0;owned\x07";
  BatchRequest lotLine = Request(kVendor, 1);
  lotLine.lot = "L1\nL2";
  for (const BatchRequest& request :
       {Request(kVendor, 0), Request(kVendor, 65536), Request(kVendor, 1, 5), badDigest, noStation,
        forgedLine, escape, lotLine, Request(kMacSpace - 3, 2, 2)}) {
    Result<Reservation> attempt = m_ledger->Reserve(request);
    ASSERT_FALSE(attempt);
    EXPECT_EQ(attempt.error().fault, LedgerFault::InvalidRequest);
  }
  EXPECT_TRUE(m_ledger->Reserve(Request(kMacSpace - 4, 2, 2)));  // up to ff:ff:ff:ff:ff:ff
  EXPECT_EQ(AllBatches().size(), 1u);
}

// What a listing or a report shows must be what was typed: an invisible
// character could print a range backwards or a total of 12 as 21. A lot
// follows a rerun's reason: visible text, one line, at most 200
// characters; empty is none.
TEST_P(LedgerTest, NamesLotsAndReasonsHoldOnlyVisibleText) {
  const Reservation original = Reserve(Request(kVendor, 4));
  ASSERT_TRUE(m_ledger->RecordOutcome(original.writeId, WriteOutcome{4, 0, false, true}));
  std::string longest;
  for (std::size_t i = 0; i < 200; ++i)
    longest += "批";
  const struct {
    const char* name;
    std::string station, lot, reason;  // a reason makes it a rerun of the original
    const char* refusal;               // part of it; none: accepted
  } cases[] = {
      {"station reversed", "line\u202e3", "", "", "工位名称不能含有控制字符：line\\xe2\\x80\\xae3"},
      {"station zero width", "line\u200b3", "", "", "工位名称不能含有控制字符"},
      {"lot isolate", "line3-a", "L\u20661\u2069", "", "批号不能含有控制字符：L\\xe2\\x81\\xa61"},
      {"lot soft hyphen", "line3-a", "L\u00ad1", "", "批号不能含有控制字符"},
      {"lot blanks", "line3-a", "   ", "", "批号不能只有空白"},
      {"lot no-break spaces", "line3-a", "\u00a0\u3000", "", "批号不能只有空白"},
      {"lot too long", "line3-a", longest + "x", "", "批号不能超过200个字符"},
      {"reason no-break space", "line3-a", "", "\u00a0", "有意重写批次须写明原因"},
      {"reason bidi", "line3-a", "", "fix\u202d", "重写原因不能含有控制字符"},
      {"the longest lot", "line3-a", longest, "", nullptr},
      {"a lot with a space inside", "line3-a", " L 7 ", "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BatchRequest request = Request(kVendor + 100, 1);
    request.station = c.station;
    request.lot = c.lot;
    if (!c.reason.empty()) {
      request = Request(kVendor, 4);
      request.rerunBatch = original.batchId;
      request.rerunReason = c.reason;
    }
    Result<Reservation> answer = m_ledger->Check(request);
    if (c.refusal) {
      ASSERT_FALSE(answer);
      EXPECT_EQ(answer.error().fault, LedgerFault::InvalidRequest);
      EXPECT_THAT(answer.error().message, HasSubstr(c.refusal));
    } else {
      EXPECT_TRUE(answer) << answer.error().message;
    }
  }
  EXPECT_EQ(m_ledger->AddPool("line\u202e3", MacRange{kVendor + 5000, 10}).error().fault,
            LedgerFault::InvalidRequest);
  EXPECT_EQ(m_ledger->Void(original.batchId, "\u00a0\u2003").error().fault,
            LedgerFault::InvalidRequest);
  EXPECT_EQ(m_ledger->Void(original.batchId, "wrong\u2067 image").error().fault,
            LedgerFault::InvalidRequest);
  EXPECT_EQ(AllBatches().size(), 1u);
  EXPECT_FALSE(AllBatches()[0].batch.voided);
}

// A name that reached the ledger before names were checked, or by hand,
// is still shown, not obeyed.
TEST(LedgerListingTest, ControlCharactersAreShownAsEscapes) {
  BatchDetails details;
  details.batch.id = 7;
  details.batch.firstMac = kVendor;
  details.batch.deviceCount = 4;
  details.batch.macsPerDevice = 1;
  details.batch.pool = "p\x1b[1m";
  details.batch.station = "a\nb\x1b[2J";
  details.batch.recordedBy = "op\x07";
  details.batch.voided = true;
  details.batch.voidReason = "bad\rlot";
  WriteRecord write;
  write.station = "a\nb";
  write.outputFolder = "/srv/\x1b]0;x\x07";
  details.writes.push_back(write);
  const std::string listing = BatchListing({details});
  const std::string shown = BatchDetailsText(details);
  for (const std::string& text : {listing, shown}) {
    EXPECT_THAT(text, HasSubstr("工位 a\\x0ab\\x1b[2J")) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
  }
  EXPECT_EQ(listing.find('\n'), listing.size() - 1);
  EXPECT_THAT(shown, HasSubstr("bad\\x0dlot"));
  EXPECT_THAT(shown, HasSubstr("/srv/\\x1b]0;x\\x07"));
}

TEST_P(LedgerTest, TheNextFreeRangeIsTheLowestGapWideEnough) {
  AddPool("line3", kVendor, 1000);
  EXPECT_EQ(Reserve(NextRequest("line3", 10)).macs, (MacRange{kVendor, 10}));
  EXPECT_EQ(Reserve(NextRequest("line3", 5, 2)).macs, (MacRange{kVendor + 10, 10}));
  Reserve(Request(kVendor + 25, 5));  // leaves a gap of 5 at 20
  EXPECT_EQ(Reserve(NextRequest("line3", 6)).macs, (MacRange{kVendor + 30, 6}));
  const Reservation gap = Reserve(NextRequest("line3", 5));
  EXPECT_EQ(gap.macs, (MacRange{kVendor + 20, 5}));
  EXPECT_EQ(gap.pool, "line3");
  EXPECT_EQ(Reserve(NextRequest("line3", 964)).macs, (MacRange{kVendor + 36, 964}));

  Result<Reservation> full = m_ledger->Reserve(NextRequest("line3", 1));
  ASSERT_FALSE(full);
  EXPECT_EQ(full.error().fault, LedgerFault::PoolFull);
  EXPECT_EQ(full.error().message, "地址池中没有足够的连续空闲地址！地址池 line3，需要 1 个");
  Result<Reservation> unknown = m_ledger->Reserve(NextRequest("line9", 1));
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error().message, "地址池不存在！line9");
  EXPECT_EQ(m_ledger->Reserve(NextRequest("", 1)).error().fault, LedgerFault::InvalidRequest);
}

TEST_P(LedgerTest, TheNextFreeRangeSkipsABatchStraddlingThePoolsStart) {
  Reserve(Request(kVendor + 90, 20));  // recorded before any pool: 90 to 109
  AddPool("line3", kVendor + 100, 100);
  EXPECT_EQ(Reserve(NextRequest("line3", 10)).macs, (MacRange{kVendor + 110, 10}));
  Reserve(Request(kVendor + 120, 80));
  EXPECT_EQ(m_ledger->Reserve(NextRequest("line3", 1)).error().fault, LedgerFault::PoolFull);
}

// The free ranges the database keeps follow every batch and pool; should
// they ever be wrong, the batches still decide the next free range.
TEST_P(LedgerTest, TheFreeRangesFollowTheBatchesAndNeverOverrideThem) {
  Reserve(Request(kVendor + 90, 20));  // before any pool, straddling the second's start
  AddPool("line3", kVendor, 50);
  AddPool("line4", kVendor + 100, 100);
  AddPool("line5", kVendor + 200, 10);  // beside line4: their gaps stay apart
  Reserve(Request(kVendor, 5));
  Reserve(Request(kVendor + 45, 5));    // up to the pool's end
  Reserve(Request(kVendor + 10, 30));   // inside a gap, leaving both sides
  Reserve(NextRequest("line4", 3, 2));  // from 110
  Reserve(Request(kVendor + 200, 10));  // the whole of line5
  EXPECT_EQ(m_place->FreeRangesDisagree(), "");
  EXPECT_EQ(m_ledger->Reserve(NextRequest("line5", 1)).error().fault, LedgerFault::PoolFull);

  // Free ranges that claim taken addresses, or hide free ones: the next
  // free range is still the lowest one the batches leave.
  const std::string ranges = m_place->Table("free_ranges");
  ASSERT_EQ(m_place->RawSql("DELETE FROM " + ranges), "");
  ASSERT_EQ(m_place->RawSql("INSERT INTO " + ranges + " VALUES (" + std::to_string(kVendor) + ", " +
                            std::to_string(kVendor + 50) + ")"),
            "");
  EXPECT_EQ(Reserve(NextRequest("line3", 4)).macs, (MacRange{kVendor + 5, 4}));
  EXPECT_EQ(Reserve(NextRequest("line4", 10)).macs, (MacRange{kVendor + 116, 10}));
}

TEST_P(LedgerTest, WherePoolsExistABatchMustLieInsideOne) {
  const std::uint64_t oui = 0x045755000000;
  AddPool("vendor", oui, 0x1000000);  // 04:57:55:00:00:00 to 04:57:55:ff:ff:ff
  // The increment carries out of the last three octets into the vendor's.
  Result<Reservation> carry = m_ledger->Reserve(Request(oui + 0xfffff0, 16, 2));
  ASSERT_FALSE(carry);
  EXPECT_EQ(carry.error().fault, LedgerFault::OutsidePool);
  EXPECT_EQ(carry.error().message,
            "MAC地址范围不在任何地址池内！04:57:55:ff:ff:f0 至 04:57:56:00:00:0f");
  BatchRequest named = Request(oui + 0xfffff0, 16, 2);
  named.pool = "vendor";
  EXPECT_EQ(m_ledger->Reserve(named).error().message,
            "MAC地址范围超出地址池！04:57:55:ff:ff:f0 至 04:57:56:00:00:0f，"
            "地址池 vendor：04:57:55:00:00:00 至 04:57:55:ff:ff:ff");
  EXPECT_EQ(m_ledger->Reserve(Request(0x001122000000, 1)).error().fault, LedgerFault::OutsidePool);

  const Reservation inside = Reserve(Request(oui + 0xfffff0, 8, 2));
  EXPECT_EQ(inside.pool, "vendor");
  AddPool("other", 0x001122000000, 100);
  BatchRequest wrongPool = Request(oui, 1);
  wrongPool.pool = "other";
  EXPECT_EQ(m_ledger->Reserve(wrongPool).error().fault, LedgerFault::OutsidePool);
  EXPECT_EQ(AllBatches().size(), 1u);
}

TEST_P(LedgerTest, PoolsNeitherOverlapNorShareANameNorHoldAnInvalidStart) {
  const Pool pool = AddPool("line3", kVendor, 1000);
  EXPECT_EQ(pool.macs, (MacRange{kVendor, 1000}));
  EXPECT_FALSE(pool.createdBy.empty());
  EXPECT_EQ(m_ledger->AddPool("line3", MacRange{kVendor + 5000, 10}).error().message,
            "地址池名称已存在！line3");
  EXPECT_EQ(m_ledger->AddPool("line4", MacRange{kVendor + 999, 10}).error().message,
            "地址池与已有地址池重叠！line3：04:57:55:00:00:00 至 04:57:55:00:03:e7");
  for (const MacRange& invalid : {MacRange{0x04ffffffff00, 0x200},      // on into 05:…
                                  MacRange{0x010000000000, 10},         // group address
                                  MacRange{0x04fffe000000, 0x2000000},  // reaches 04:ff:ff
                                  MacRange{kVendor, 0}}) {
    EXPECT_EQ(m_ledger->AddPool("bad", invalid).error().fault, LedgerFault::InvalidRequest);
  }
  EXPECT_EQ(m_ledger->AddPool("", MacRange{kVendor + 5000, 10}).error().fault,
            LedgerFault::InvalidRequest);
  Result<std::vector<Pool>> pools = m_ledger->Pools();
  ASSERT_TRUE(pools);
  ASSERT_EQ(pools->size(), 1u);
  EXPECT_EQ(pools->at(0).name, "line3");
}

TEST_P(LedgerTest, AVoidedBatchStaysAndKeepsBlockingItsRange) {
  AddPool("line3", kVendor, 100);
  const Reservation first = Reserve(NextRequest("line3", 10));
  Result<BatchSummary> voided = m_ledger->Void(first.batchId, "  image was wrong  ");
  ASSERT_TRUE(voided) << voided.error().message;
  EXPECT_TRUE(voided->voided);
  EXPECT_EQ(voided->voidReason, "image was wrong");
  EXPECT_FALSE(voided->voidedBy.empty());

  Result<Reservation> same = m_ledger->Reserve(Request(kVendor, 10));
  ASSERT_FALSE(same);
  EXPECT_EQ(same.error().fault, LedgerFault::VoidedBatch);
  EXPECT_THAT(same.error().message, HasSubstr("；作废原因：image was wrong"));
  EXPECT_EQ(m_ledger->Reserve(Request(kVendor + 5, 1)).error().fault, LedgerFault::Overlap);
  EXPECT_EQ(Reserve(NextRequest("line3", 10)).macs.first, kVendor + 10);

  EXPECT_EQ(m_ledger->Void(first.batchId, "again").error().fault, LedgerFault::AlreadyVoid);
  EXPECT_EQ(m_ledger->Void(first.batchId + 100, "x").error().message,
            "账本中没有该批次！" + std::to_string(first.batchId + 100));
  EXPECT_EQ(m_ledger->Void(first.batchId + 1, " ").error().fault, LedgerFault::InvalidRequest);
  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(StateText(batches[0]), "已作废");
}

TEST_P(LedgerTest, ListingsFilterByIdPoolAndDate) {
  AddPool("a", kVendor, 100);
  AddPool("b", kVendor + 1000, 100);
  const Reservation inA = Reserve(NextRequest("a", 1));
  const Reservation inB = Reserve(NextRequest("b", 1));
  Result<std::vector<BatchDetails>> onlyB = m_ledger->Batches(BatchFilter{std::nullopt, "b", ""});
  ASSERT_TRUE(onlyB);
  ASSERT_EQ(onlyB->size(), 1u);
  EXPECT_EQ(onlyB->at(0).batch.id, inB.batchId);
  EXPECT_EQ(onlyB->at(0).writes.size(), 1u);
  Result<std::vector<BatchDetails>> byId = m_ledger->Batches(BatchFilter{inA.batchId, "", ""});
  ASSERT_TRUE(byId);
  ASSERT_EQ(byId->size(), 1u);
  EXPECT_EQ(byId->at(0).batch.pool, "a");

  EXPECT_EQ(m_ledger->Batches(BatchFilter{std::nullopt, "", "2000-01-01"})->size(), 2u);
  EXPECT_EQ(m_ledger->Batches(BatchFilter{std::nullopt, "", "9999-01-01T00:00:00Z"})->size(), 0u);
  EXPECT_EQ(m_ledger->Batches(BatchFilter{std::nullopt, "", "yesterday"}).error().fault,
            LedgerFault::InvalidRequest);
}

INSTANTIATE_TEST_SUITE_P(BothBackends, LedgerTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

}  // namespace
}  // namespace quillmark::test
