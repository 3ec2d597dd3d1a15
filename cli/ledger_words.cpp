#include "ledger_words.h"

#include "option_table.h"

namespace quillmark::cli {
namespace {

constexpr std::string_view kLedgerCommand = "quillmark-cli ledger ";

// The words joined, a line breaking before a word that would pass the
// last column; each further line starts with indent. A word carries the
// space or comma that follows it.
std::string Wrapped(const std::vector<std::string>& words, std::size_t firstColumn,
                    std::size_t lastColumn, const std::string& indent) {
  std::string text;
  std::size_t column = firstColumn;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string_view word = words[i];
    const std::size_t width = TerminalColumns(word.substr(0, word.find_last_not_of(' ') + 1));
    if (i > 0 && column + width > lastColumn) {
      while (!text.empty() && text.back() == ' ')
        text.pop_back();
      text += "\n" + indent;
      column = TerminalColumns(indent);
    }
    text += words[i];
    column += TerminalColumns(word);
  }
  return text;
}

// A usage's items: words, and bracketed options kept whole ("[--count N]").
std::vector<std::string> UsageItems(std::string_view usage) {
  std::vector<std::string> items(1);
  int depth = 0;
  for (const char c : usage) {
    items.back() += c;
    depth += c == '[' ? 1 : c == ']' ? -1 : 0;
    if (c == ' ' && depth == 0)
      items.emplace_back();
  }
  return items;
}

}  // namespace

const std::vector<LedgerWord>& LedgerWords() {
  static const std::vector<LedgerWord> words = {
      {"init", {"init [LOCATION] [--group NAME]"}, {"初始化", "set up"}, LedgerAction::Init},
      {"pool", {"pool add NAME FIRST LAST", "pool list"}, {"地址池", "pools"}, LedgerAction::Pool},
      {"series",
       {"series add NAME --template TEXT [--first N]", "series list"},
       {"序列号系列", "serial series"},
       LedgerAction::Series},
      {"list", {"list [--pool NAME] [--since DATE]"}, {"列出", "list"}, LedgerAction::List},
      {"show", {"show ID"}, {"查看", "show"}, LedgerAction::Show},
      {"void", {"void ID --reason TEXT"}, {"作废", "void"}, LedgerAction::Void},
      {"export", {"export [--pool NAME] [--since DATE]"}, {"导出", "export"}, LedgerAction::Export},
      {"backup", {"backup FILE"}, {"备份", "back up"}, LedgerAction::Backup},
      {"check",
       {"check --start-mac TEXT|next [--count N] [--macs-per-device N] [--pool NAME] "
        "[--series NAME] [--lot TEXT]"},
       {"检查", "check"},
       LedgerAction::Check},
      {"report",
       {"report --html FILE [--pool NAME] [--since DATE]"},
       {"报告", "report"},
       LedgerAction::Report},
  };
  return words;
}

const LedgerWord* FindLedgerWord(std::string_view word) {
  for (const LedgerWord& row : LedgerWords()) {
    if (row.word == word)
      return &row;
  }
  return nullptr;
}

std::string LedgerUsageLine(const LedgerWord& row) {
  std::string usages;
  for (const std::string_view usage : row.usages)
    usages += (usages.empty() ? "" : " | ") + std::string(usage);
  return Fill({"用法: %1", "Usage: %1"}, {std::string(kLedgerCommand) + usages});
}

std::string LedgerSynopsis() {
  const std::string lead(Pick({"用法: ", "Usage: "}));
  const std::string margin(TerminalColumns(lead), ' ');
  const std::size_t start = margin.size() + kLedgerCommand.size();
  std::string text;
  for (const LedgerWord& row : LedgerWords()) {
    // A usage too long for a line goes on under what follows its word.
    const std::string indent(start + row.word.size() + 1, ' ');
    for (const std::string_view usage : row.usages) {
      text += (text.empty() ? lead : margin) + std::string(kLedgerCommand) +
              Wrapped(UsageItems(usage), start, kTerminalColumns, indent) + "\n";
    }
  }
  return text;
}

std::string LedgerSummary() {
  std::vector<std::string> words{std::string(Pick({"MAC账本：", "the MAC ledger: "}))};
  for (const LedgerWord& row : LedgerWords()) {
    const bool last = &row == &LedgerWords().back();
    // Chinese lists without spaces; a line may break after each comma.
    words.push_back(std::string(row.summary) + (last ? "" : std::string(Pick({"、", ", "}))));
  }
  return Wrapped(words, kHelpColumn, kTerminalColumns, "");
}

}  // namespace quillmark::cli
