#pragma once

#include <string>

#include "interface_text.h"

// Opens the optional parts of Quillmark (label sheets, the PostgreSQL
// ledger), each a shared module the program loads only when a command
// needs it, so a station that never uses one needs neither the module nor
// the libraries it links.
namespace quillmark::modules {

struct ModuleRequest {
  const char* fileName;     // "quillmark-labels.so"
  const char* entrySymbol;  // the C function returning its entry table
  InterfaceText what;       // "label module", for the lines below
  const char* package;      // the Debian package that installs it
};

enum class ModuleStatus { Loaded, NotInstalled, Unusable };

struct LoadedModule {
  ModuleStatus status = ModuleStatus::NotInstalled;
  const void* entry = nullptr;  // the module's entry table once Loaded
  std::string error;            // one line for the user otherwise
};

// Looks next to the executable (a build tree), then in the module folder
// seen from the executable (an installed tree, wherever its prefix), then
// in the module folder of the configured prefix; the executable's folder
// comes from /proc/self/exe, never from the current folder, and without
// /proc only the configured folder is searched. The module found is refused
// with a line naming it, before any of its code runs, when a user other
// than root or the running one can have put it there, when it is shorter
// than its headers say, or when it is of another build. A loaded module
// stays loaded: the objects it made may live until the program ends.
LoadedModule LoadModule(const ModuleRequest& wanted);

// The folders searched, in order.
std::string ExecutableFolder();
std::string InstalledModuleFolder();

}  // namespace quillmark::modules
