#pragma once

#include <string_view>
#include <vector>

#include "command_line.h"

namespace quillmark::cli {

// The subcommands whose libraries a build may lack: label sheets need
// libzint and cairo, which the Windows build has not. One source per kind
// of build says which it has.
std::vector<Subcommand> OptionalSubcommands();

// The names of those this build lacks: asked for, they are refused with a
// clear line instead of being taken for the write command's arguments.
std::vector<std::string_view> SubcommandsNotBuilt();

}  // namespace quillmark::cli
