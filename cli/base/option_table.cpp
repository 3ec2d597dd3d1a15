#include "option_table.h"

#include <algorithm>

#include "interface_text.h"

namespace quillmark::cli {
namespace {

const OptionRow* FindRow(const OptionTable& table, std::string_view name) {
  const auto row =
      std::find_if(table.begin(), table.end(), [&](const OptionRow& r) { return r.name == name; });
  return row == table.end() ? nullptr : &*row;
}

bool StartsWithDash(const std::string& arg) {
  return !arg.empty() && arg.front() == '-';
}

// In the separate form a value option takes the next argument, whatever
// it is: one that begins with "-" is far more likely the next option
// after a forgotten value, so it is refused (the "--opt=VALUE" form takes
// any text). A flag takes no value: "--dry-run=false" must not run a
// real batch. A value option given twice is refused, whichever value was
// meant; a flag may be repeated. An empty value is refused unless the
// row gives it a meaning.
std::string MisusedForm(const OptionTable& table, const std::vector<std::string>& args) {
  std::vector<std::string_view> valuesGiven;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--")
      break;
    const std::size_t equals = arg.find('=');
    const OptionRow* row = FindRow(table, std::string_view(arg).substr(0, equals));
    if (row == nullptr)
      continue;
    const std::string name(row->name);
    if (row->flag != nullptr && equals != std::string::npos)
      return Fill({"选项 %1 不带值（%2）", "option %1 takes no value (%2)"}, {name, arg});
    if (row->value == nullptr)
      continue;
    if (std::find(valuesGiven.begin(), valuesGiven.end(), row->name) != valuesGiven.end())
      return Fill({"选项 %1 只能给出一次", "option %1 can be given only once"}, {name});
    valuesGiven.push_back(row->name);
    const std::string emptyValue =
        Fill({"选项 %1 的值不能为空", "option %1 needs a value that is not empty"}, {name});
    if (equals != std::string::npos) {
      if (equals + 1 == arg.size() && !row->emptyMeansNone)
        return emptyValue;
      continue;
    }
    if (i + 1 == args.size())
      return Fill({"选项 %1 缺少值", "option %1 needs a value"}, {name});
    if (StartsWithDash(args[i + 1]))
      return Fill({"选项 %1 缺少值（以“-”开头的值请写成 %1=VALUE 的形式）",
                   "option %1 needs a value (write a value starting with \"-\" as %1=VALUE)"},
                  {name});
    if (args[i + 1].empty() && !row->emptyMeansNone)
      return emptyValue;
    ++i;
  }
  return "";
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args)
    joined += (joined.empty() ? "" : " ") + arg;
  return joined;
}

ParsedOptions UsageError(std::string text, std::string_view helpCommand) {
  ParsedOptions parsed;
  parsed.error = WithHelpPointer(text, helpCommand);
  return parsed;
}

std::string SynopsisItem(const OptionRow& row) {
  std::string item(row.name);
  if (!row.valueName.empty())
    item += " " + std::string(row.valueName);
  return row.required ? item : "[" + item + "]";
}

}  // namespace

std::size_t TerminalColumns(std::string_view text) {
  std::size_t columns = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80)
      ++columns;
    else if (byte >= 0xC0)
      columns += 2;
  }
  return columns;
}

std::string WithHelpPointer(const std::string& text, std::string_view helpCommand) {
  return Fill({"%1；用 %2 查看用法", "%1; see %2 for the usage"}, {text, helpCommand});
}

std::string MissingOptionText(std::string_view name) {
  return Fill({"缺少必需的选项 %1", "the required option %1 is missing"}, {name});
}

bool ParsedOptions::Given(std::string_view name) const {
  return std::find(given.begin(), given.end(), name) != given.end();
}

// Every argument is matched whole against the table's names (no prefixes,
// no short forms); what matches none, and everything from "--" on, is
// left over and refused. MisusedForm has refused every misuse of a known
// option before, so each value option here has its value.
ParsedOptions ParseOptions(const OptionTable& table, const std::vector<std::string>& args,
                           std::string_view helpCommand) {
  if (const std::string misused = MisusedForm(table, args); !misused.empty())
    return UsageError(misused, helpCommand);
  std::vector<std::string> remaining;
  std::vector<std::string_view> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      remaining.insert(remaining.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    const std::size_t equals = arg.find('=');
    const OptionRow* row = FindRow(table, std::string_view(arg).substr(0, equals));
    if (row == nullptr || (row->flag != nullptr && equals != std::string::npos)) {
      remaining.push_back(arg);
      continue;
    }
    if (row->value != nullptr)
      *row->value = equals != std::string::npos ? arg.substr(equals + 1) : args[++i];
    else if (row->flag != nullptr)
      *row->flag = true;
    given.push_back(row->name);
  }
  if (!remaining.empty())
    return UsageError(Fill({"无法识别的参数：%1", "unknown {2:argument|arguments}: %1"},
                           {JoinArguments(remaining), std::to_string(remaining.size())}),
                      helpCommand);

  ParsedOptions parsed;
  parsed.ok = true;
  for (const OptionRow& row : table) {
    if (std::find(given.begin(), given.end(), row.name) != given.end())
      parsed.given.emplace_back(row.name);
  }
  return parsed;
}

std::string Synopsis(std::string_view command, const OptionTable& table) {
  const std::string lead = Fill({"用法: %1", "Usage: %1"}, {command});
  // Continuation lines start two columns past the command's name.
  const std::string indent(TerminalColumns(lead) + 2, ' ');
  std::string text = lead;
  std::size_t column = TerminalColumns(lead);
  bool lineEmpty = false;
  for (const OptionRow& row : table) {
    const std::string item = SynopsisItem(row);
    if (!lineEmpty && column + 1 + item.size() > kTerminalColumns) {
      text += "\n" + indent;
      column = indent.size();
      lineEmpty = true;
    }
    text += (lineEmpty ? "" : " ") + item;
    column += (lineEmpty ? 0 : 1) + item.size();
    lineEmpty = false;
  }
  return text + "\n";
}

std::string HelpRows(const OptionTable& table) {
  std::string rows;
  for (const OptionRow& row : table) {
    std::string lead = "  " + std::string(row.name);
    if (!row.valueName.empty())
      lead += " " + std::string(row.valueName);
    lead.resize(std::max(kHelpColumn, lead.size() + 2), ' ');
    std::string help(row.help);
    for (std::size_t newline = 0; (newline = help.find('\n', newline)) != std::string::npos;) {
      help.insert(newline + 1, kHelpColumn, ' ');
      newline += 1 + kHelpColumn;
    }
    rows += lead + help + "\n";
  }
  return rows;
}

}  // namespace quillmark::cli
