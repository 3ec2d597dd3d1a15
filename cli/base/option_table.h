#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::cli {

// One option of a command. A command lists its options once, in a table
// of these rows; the parser, the synopsis and the help rows all come from
// that table.
struct OptionRow {
  std::string_view name{};       // "--image"
  std::string_view valueName{};  // "PATH" for an option that takes a value; empty for a flag
  std::string_view help{};       // its help text; a '\n' starts a continuation line
  std::string* value = nullptr;  // a value option's text, exactly as given
  bool* flag = nullptr;          // a flag, set when given
  bool required = false;         // shown without brackets in the synopsis
  // An empty value is refused unless it means something of its own ("no
  // title"): from a station script it is far more often an unset variable,
  // and taken as the default it would quietly do the wrong job.
  bool emptyMeansNone = false;
};

using OptionTable = std::vector<OptionRow>;

struct ParsedOptions {
  bool ok = false;
  std::string error;  // a usage error, one line, when not ok
  std::vector<std::string> given;

  bool Given(std::string_view name) const;
};

// Reads the arguments (the program's name and any subcommand name left
// out) into the table's targets. Values are kept as given; an empty one
// only where the row allows it.
// A usage error ends by pointing to helpCommand, the command's own help.
ParsedOptions ParseOptions(const OptionTable& table, const std::vector<std::string>& args,
                           std::string_view helpCommand = "--help");

// A usage error and where to read the usage: "…；用 --help 查看用法".
std::string WithHelpPointer(const std::string& text, std::string_view helpCommand = "--help");

// "缺少必需的选项 --image": a required option not given.
std::string MissingOptionText(std::string_view name);

// The width of a terminal the help texts are wrapped for.
inline constexpr std::size_t kTerminalColumns = 80;
// Where the help's rows start their text, after the option's name.
inline constexpr std::size_t kHelpColumn = 26;

// Columns a text takes on a terminal: two for each character beyond
// ASCII (the Chinese ones), one for the rest.
std::size_t TerminalColumns(std::string_view text);

// "用法: quillmark-cli --image PATH [--out DIR] …" wrapped at 80 columns.
std::string Synopsis(std::string_view command, const OptionTable& table);

// One row per option: the option and its value name, then its help text
// from column 26.
std::string HelpRows(const OptionTable& table);

}  // namespace quillmark::cli
