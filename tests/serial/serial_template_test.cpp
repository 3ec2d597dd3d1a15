#include "serial_template.h"

#include <gtest/gtest.h>

#include <set>

namespace quillmark::serial {
namespace {

SerialTemplate Read(std::string_view text) {
  SerialTemplate::Parsed parsed = SerialTemplate::Parse(text);
  EXPECT_TRUE(parsed.value) << text << ": " << parsed.error;
  return parsed.value.value_or(SerialTemplate::Parse("{seq:1}").value.value());
}

TEST(SerialTemplateTest, RendersEachField) {
  const SerialContext context{{2024, 5, 1}, "L7", "ST2"};
  struct Case {
    std::string_view text;
    std::uint64_t seq;
    std::string_view serial;
  };
  const Case cases[] = {
      {"SN{seq:6}", 42, "SN000042"},
      {"{yy}{ww}{seq:4}", 7, "24180007"},
      {"{yyyy}-{mm}-{dd}/{seq:3}", 999, "2024-05-01/999"},
      {"{lot}{station}{seq:2}", 5, "L7ST205"},
      {"{seq36:3}", 0, "000"},
      {"{seq36:3}", 32, "00Z"},
      {"{seq36:3}", 33, "010"},
      {"{seq36:2}", 33 * 33 - 1, "ZZ"},
      // The check characters, each against a value stdnum gives.
      {"{yy}{ww}{seq:4}{check:luhn}", 7, "241800077"},
      {"24050{seq:5}{check:mod11-10}", 42, "24050000429"},
      {"L{yy}{ww}HP{seq36:1}{check:mod37-36}", 32, "L2418HPZ5"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Read(c.text).Render(context, c.seq), c.serial) << c.text;
}

TEST(SerialTemplateTest, CheckCharactersMatchKnownValues) {
  struct Case {
    CheckKind kind;
    std::string_view body;
    char check;
  };
  const Case cases[] = {
      {CheckKind::Luhn, "7992739871", '3'},
      {CheckKind::Luhn, "123456", '6'},
      {CheckKind::Mod1110, "079", '2'},
      {CheckKind::Mod1110, "0794", '5'},
      {CheckKind::Mod1110, "123456", '8'},
      {CheckKind::Mod1110, "999999999", '1'},
      {CheckKind::Mod3736, "Z", '4'},
      {CheckKind::Mod3736, "ABC123", '0'},
      {CheckKind::Mod3736, "SN0001", 'S'},
      {CheckKind::Mod3736, "000000", 'R'},
      {CheckKind::Mod3736, "A12425GABC1234002", 'M'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckCharacter(c.kind, c.body), c.check) << c.body;
    const std::string serial = std::string(c.body) + c.check;
    EXPECT_TRUE(HasValidCheckCharacter(c.kind, serial)) << serial;
    // Any one character changed is caught.
    for (std::size_t i = 0; i < serial.size(); ++i) {
      std::string changed = serial;
      changed[i] = changed[i] == '1' ? '2' : '1';
      EXPECT_FALSE(HasValidCheckCharacter(c.kind, changed)) << changed;
    }
  }
  EXPECT_FALSE(CheckCharacter(CheckKind::Luhn, "12A").has_value());
  EXPECT_FALSE(CheckCharacter(CheckKind::Mod3736, "ab").has_value());
}

TEST(SerialTemplateTest, RefusesWhatCouldRunOutOrCannotBeChecked) {
  const std::string_view refused[] = {
      "SN",              // no sequence: one serial for ever
      "{seq:4}{seq:2}",  // two sequences
      "{seq:0}",
      "{seq:19}",
      "{seq36:13}",
      "{seq:x}",
      "{seq:4}{check:luhn}X",       // the check is not last
      "{check:luhn}",               // a check alone
      "A{seq:4}{check:luhn}",       // a letter before a digit check
      "{seq36:4}{check:mod11-10}",  // base 33 before a digit check
      "sn{seq:4}{check:mod37-36}",  // lower case before MOD 37-36
      "{seq:4}{check:crc}",
      "{week}{seq:2}",
      "{seq:4",
      "seq:4}",
      "S N{seq:4}",  // a space
      "{seq:18}{seq36:1}",
  };
  for (std::string_view text : refused) {
    const SerialTemplate::Parsed parsed = SerialTemplate::Parse(text);
    EXPECT_FALSE(parsed.value) << text;
    EXPECT_FALSE(parsed.error.empty()) << text;
  }
  EXPECT_FALSE(SerialTemplate::Parse(std::string(60, 'A') + "{seq:5}").value);
  EXPECT_EQ(Read("{seq:4}").Capacity(), 10000u);
  EXPECT_EQ(Read("X{seq36:2}").Capacity(), 33u * 33u);
  EXPECT_EQ(Read("{seq:18}").Capacity(), 1000000000000000000u);
}

TEST(SerialTemplateTest, LotAndStationMustBePlainAndCheckable) {
  const SerialTemplate lot = Read("{lot}{seq:3}{check:luhn}");
  EXPECT_EQ(lot.ContextRefusal({{2024, 1, 1}, "123", ""}), "");
  EXPECT_NE(lot.ContextRefusal({{2024, 1, 1}, "12A", ""}), "");
  EXPECT_NE(lot.ContextRefusal({{2024, 1, 1}, "", ""}), "");
  const SerialTemplate station = Read("{station}-{seq:3}");
  EXPECT_EQ(station.ContextRefusal({{2024, 1, 1}, "", "line7"}), "");
  EXPECT_NE(station.ContextRefusal({{2024, 1, 1}, "", "line 7"}), "");
  EXPECT_NE(station.ContextRefusal({{2024, 1, 1}, "", "线7"}), "");
  EXPECT_NE(station.ContextRefusal({{2024, 1, 1}, "", std::string(70, 'a')}), "");
  EXPECT_EQ(station.Length({{2024, 1, 1}, "", "line7"}), 9u);
}

TEST(SerialTemplateTest, IsoWeeksAtTheYearsEdges) {
  struct Case {
    SerialDate date;
    int week;
  };
  const Case cases[] = {{{2021, 1, 3}, 53}, {{2024, 12, 30}, 1}, {{2024, 5, 1}, 18},
                        {{2026, 1, 1}, 1},  {{2027, 1, 1}, 53},  {{2024, 2, 29}, 9}};
  for (const Case& c : cases)
    EXPECT_EQ(IsoWeek(c.date), c.week) << c.date.year << "-" << c.date.month << "-" << c.date.day;
  EXPECT_TRUE(ParseSerialDate("2024-02-29T10:00:00Z"));
  EXPECT_FALSE(ParseSerialDate("2023-02-29"));
  EXPECT_FALSE(ParseSerialDate("2023-1-01"));
}

TEST(SerialTemplateTest, Seq36NeverShowsIOrQ) {
  const SerialTemplate base33 = Read("{seq36:2}");
  std::set<std::string> seen;
  for (std::uint64_t seq = 0; seq < base33.Capacity(); ++seq) {
    const std::string serial = base33.Render({}, seq);
    EXPECT_EQ(serial.find_first_of("IOQ"), std::string::npos) << serial;
    seen.insert(serial);
  }
  EXPECT_EQ(seen.size(), base33.Capacity());
}

}  // namespace
}  // namespace quillmark::serial
