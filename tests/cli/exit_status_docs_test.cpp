// The exit statuses the documents name are the table's, which the help
// texts are built from: the manual pages list each command's statuses,
// no more and no fewer, and the README lists none of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "exit_statuses.h"
#include "fixture_image.h"

namespace quillmark::cli {
namespace {

std::set<int> TableStatuses(ExitTable command) {
  std::set<int> statuses;
  for (const ExitStatusRow& row : ExitStatuses(command))
    statuses.insert(row.statuses.begin(), row.statuses.end());
  return statuses;
}

// The statuses a part of the page sets in bold on a line of their own
// (".B 0", ".BR 129 \", \" 130 \", \" 143"), from the line after start to
// the next heading.
std::set<int> PageStatuses(const std::string& page, const std::string& start) {
  std::set<int> statuses;
  const std::size_t from = page.find(start);
  if (from == std::string::npos)
    return statuses;
  std::istringstream lines(page.substr(from + start.size()));
  const std::regex statusLine(R"(\.BR? (\d+)((?: ", " \d+)*))");
  const std::regex number(R"(\d+)");
  for (std::string line; std::getline(lines, line) && line.rfind(".S", 0) != 0;) {
    if (!std::regex_match(line, statusLine))
      continue;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), number);
         it != std::sregex_iterator(); ++it) {
      statuses.insert(std::stoi(it->str()));
    }
  }
  return statuses;
}

struct PageSection {
  ExitTable command;
  const char* start;
};

void ExpectStatusesFromTheTable(const std::string& path,
                                std::initializer_list<PageSection> sections) {
  SCOPED_TRACE(path);
  const std::string page = test::ReadFileText(path);
  ASSERT_FALSE(page.empty());
  for (const PageSection& section : sections) {
    SCOPED_TRACE(section.start);
    EXPECT_EQ(PageStatuses(page, section.start), TableStatuses(section.command));
  }
}

// Both languages' pages list the same statuses: the numbers are the
// program's, whatever the language of the words around them.
TEST(ExitStatusDocsTest, TheChinesePageListsEachCommandsStatusesFromTheTable) {
  ExpectStatusesFromTheTable(QUILLMARK_SOURCE_DIR "/doc/quillmark-cli.1.in",
                             {
                                 {ExitTable::Write, ".SH 退出状态\n"},
                                 {ExitTable::Verify, ".B verify\n的退出状态：\n"},
                                 {ExitTable::Labels, ".B labels\n的退出状态：\n"},
                                 {ExitTable::Ledger, ".B ledger\n的退出状态：\n"},
                             });
}

TEST(ExitStatusDocsTest, TheEnglishPageListsEachCommandsStatusesFromTheTable) {
  ExpectStatusesFromTheTable(QUILLMARK_SOURCE_DIR "/doc/en/quillmark-cli.1.in",
                             {
                                 {ExitTable::Write, ".SH \"EXIT STATUS\"\n"},
                                 {ExitTable::Verify, "Exit statuses of\n.BR verify :\n"},
                                 {ExitTable::Labels, "Exit statuses of\n.BR labels :\n"},
                                 {ExitTable::Ledger, "Exit statuses of\n.BR ledger :\n"},
                             });
}

// The README points to the manual page rather than keep a copy that can
// drift from it: no table row starts with an exit status.
TEST(ExitStatusDocsTest, TheReadmeKeepsNoTableOfStatuses) {
  const std::string readme = test::ReadFileText(QUILLMARK_SOURCE_DIR "/README.md");
  ASSERT_FALSE(readme.empty());
  const std::regex statusRow(R"(^\| *\d+( */ *\d+)* *\|)");
  std::istringstream lines(readme);
  for (std::string line; std::getline(lines, line);)
    EXPECT_FALSE(std::regex_search(line, statusRow)) << line;
}

}  // namespace
}  // namespace quillmark::cli
