#pragma once

#include <string>

// A module's file as the loader reads it before opening it: a file shorter
// than its own headers say would be mapped and fault (SIGBUS) on the first
// read past its end, and a module of another build would run its
// constructors, so both are found here, from the bytes alone.
namespace quillmark::modules {

struct ModuleFile {
  // An ELF shared object of this machine's class and byte order whose
  // program headers, section headers and sections all lie within the file.
  bool whole = false;
  // The bytes of the build id section, its zero included; empty when the
  // file has none.
  std::string buildId;
};

ModuleFile ReadModuleFile(int descriptor);

}  // namespace quillmark::modules
