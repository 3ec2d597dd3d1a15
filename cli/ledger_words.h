#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "interface_text.h"

namespace quillmark::cli {

// What a command word does; the dispatch switches over every one, so a
// word added here without its command does not compile.
enum class LedgerAction { Init, Pool, Series, List, Show, Void, Export, Backup, Check, Report };

// One command word of quillmark-cli ledger. The dispatch, the help's
// synopsis and the tool's summary of the subcommand come from the one
// table of these; the shell completion and the manual pages' check read
// the synopsis the program prints.
struct LedgerWord {
  std::string_view word;
  std::vector<std::string_view> usages;  // each after "quillmark-cli ledger ", a line each
  InterfaceText summary;                 // a word or two in the tool's list of subcommands
  LedgerAction action;
};

const std::vector<LedgerWord>& LedgerWords();

// The row of a command word; none for a word the ledger does not know.
const LedgerWord* FindLedgerWord(std::string_view word);

// "Usage: quillmark-cli ledger pool add NAME FIRST LAST | pool list": one
// word's usages, for the usage error of a command given wrongly.
std::string LedgerUsageLine(const LedgerWord& row);

// "Usage: quillmark-cli ledger init [LOCATION]", then a line for each
// further usage, wrapped at 80 columns.
std::string LedgerSynopsis();

// "the MAC ledger: set up, pools, …", wrapped for the help's column.
std::string LedgerSummary();

}  // namespace quillmark::cli
