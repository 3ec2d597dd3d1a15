// The connection string as it may be shown, read by libpq's own parser;
// part of the PostgreSQL module.
#include <libpq-fe.h>

#include <cctype>
#include <memory>
#include <string>
#include <string_view>

#include "interface_text.h"
#include "ledger_location.h"
#include "postgres_module.h"

namespace quillmark::ledger {
namespace {

// A value as libpq's keyword/value form reads it back.
std::string QuotedValue(const std::string& value) {
  bool plain = !value.empty();
  for (const char c : value)
    plain = plain && !std::isspace(static_cast<unsigned char>(c)) && c != '\'' && c != '\\';
  if (plain)
    return value;
  std::string quoted = "'";
  for (const char c : value) {
    if (c == '\'' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

}  // namespace

std::string PqConnectionTextWithoutPassword(const std::string& conninfo) {
  const InterfaceText unparsable{"（无法解析的连接字符串）",
                                 "(a connection string that cannot be parsed)"};
  if (UriPasswordMisread(conninfo))
    return std::string(unparsable);
  char* parseError = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
      PQconninfoParse(conninfo.c_str(), &parseError), &PQconninfoFree);
  PQfreemem(parseError);
  if (!options)
    return std::string(unparsable);
  std::string shown;
  for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option) {
    if (option->val == nullptr || std::string_view(option->keyword) == "password")
      continue;
    shown +=
        (shown.empty() ? "" : " ") + std::string(option->keyword) + "=" + QuotedValue(option->val);
  }
  return shown;
}

}  // namespace quillmark::ledger
