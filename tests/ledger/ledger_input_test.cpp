// What a caller hands the ledger is judged alike on both back ends, before
// any database sees it: texts that are not UTF-8 and dates that name no
// day are refused with the ledger's own line, never a database's error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "ledger_fixture.h"

namespace quillmark::test {
namespace {

using namespace ledger;

using LedgerInputTest = LedgerTest;

TEST_P(LedgerInputTest, TextsThatAreNotUtf8AreRefusedWithOneClearLine) {
  const Reservation kept = Reserve(Request(kVendor, 1));
  BatchRequest station = Request(kVendor + 10, 1);
  station.station = "line3-\xff";
  BatchRequest folder = Request(kVendor + 10, 1);
  folder.outputFolder = "/srv/lot-\xc3(";
  BatchRequest pool = Request(kVendor + 10, 1);
  pool.pool = "p\xe4\xb8";
  BatchRequest lot = Request(kVendor + 10, 1);
  lot.lot = "WO-\xff";
  const struct {
    const char* name;
    std::function<LedgerError()> attempt;
    std::string message;
  } cases[] = {
      {"station", [&] { return m_ledger->Reserve(station).error(); },
       "工位名称不是有效的UTF-8文本！line3-\\xff"},
      {"station checked", [&] { return m_ledger->Check(station).error(); },
       "工位名称不是有效的UTF-8文本！line3-\\xff"},
      {"folder", [&] { return m_ledger->Reserve(folder).error(); },
       "输出目录不是有效的UTF-8文本！/srv/lot-\\xc3("},
      {"pool of a batch", [&] { return m_ledger->Reserve(pool).error(); },
       "地址池名称不是有效的UTF-8文本！p\\xe4\\xb8"},
      {"lot", [&] { return m_ledger->Reserve(lot).error(); }, "批号不是有效的UTF-8文本！WO-\\xff"},
      {"new pool",
       [&] {
         return m_ledger->AddPool("p\xe4\xb8", {kVendor + 100, 10}).error();
       },
       "地址池名称不是有效的UTF-8文本！p\\xe4\\xb8"},
      {"void reason", [&] { return m_ledger->Void(kept.batchId, "bad \xc0\xaf").error(); },
       "作废原因不是有效的UTF-8文本！bad \\xc0\\xaf"},
      {"listed pool",
       [&] {
         return m_ledger->Batches({std::nullopt, "p\xff", ""}).error();
       },
       "地址池名称不是有效的UTF-8文本！p\\xff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const LedgerError error = c.attempt();
    EXPECT_EQ(error.fault, LedgerFault::InvalidRequest);
    EXPECT_EQ(error.message, c.message);
  }
  BatchRequest chinese = Request(kVendor + 10, 1);
  chinese.station = "三号线";
  chinese.outputFolder = "/srv/批次";
  EXPECT_EQ(Reserve(chinese).macs.first, kVendor + 10);
  EXPECT_EQ(AllBatches().size(), 2u);
  EXPECT_TRUE(m_ledger->Pools()->empty());
}

TEST_P(LedgerInputTest, ADateMustNameADayOfTheCalendarAndATimeOfIt) {
  Reserve(Request(kVendor, 1));
  for (const char* refused :
       {"2024-13-45", "2024-00-10", "2024-02-30", "2023-02-29", "1900-02-29", "0000-01-01",
        "2024-04-31", "2024-05-01T24:00:00Z", "2024-05-01T10:60:00Z", "2024-05-01T10:00:60Z",
        "2024-05-01T10:00:00", "2024-5-1"}) {
    SCOPED_TRACE(refused);
    Result<std::vector<BatchDetails>> listed = m_ledger->Batches({std::nullopt, "", refused});
    ASSERT_FALSE(listed);
    EXPECT_EQ(listed.error().fault, LedgerFault::InvalidRequest);
    EXPECT_EQ(listed.error().message, std::string("日期格式错误！") + refused +
                                          "（应为 2024-05-01 或 2024-05-01T10:22:03Z）");
  }
  for (const char* taken : {"2024-02-29", "2000-02-29", "2024-12-31T23:59:59Z", "0001-01-01"}) {
    SCOPED_TRACE(taken);
    Result<std::vector<BatchDetails>> listed = m_ledger->Batches({std::nullopt, "", taken});
    ASSERT_TRUE(listed) << listed.error().message;
    EXPECT_EQ(listed->size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(BothBackends, LedgerInputTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

}  // namespace
}  // namespace quillmark::test
