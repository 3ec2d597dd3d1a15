#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// A line of a command's exit statuses: the first status leads the line,
// the further ones are named in its text ('\n' starts a continuation).
struct ExitStatusRow {
  std::vector<int> statuses;
  std::string text;
};

enum class ExitTable { Write, Verify, Labels, Ledger };

// The one table of each command's exit statuses: the help texts are
// built from it, and a test holds the manual page to it.
std::vector<ExitStatusRow> ExitStatuses(ExitTable command);

// "退出状态:" and one line per row, as the write, verify and labels help show it.
std::string ExitStatusSection(ExitTable command);
// "退出状态: 0 …；1 …" on one line, as the ledger's help shows it.
std::string ExitStatusLine(ExitTable command);

}  // namespace quillmark::cli
