#pragma once

// This build's id, for the loader and the modules' entries only: the
// generated header changes with every source, and only what includes it is
// compiled again.
#include "module_build_id.h"
#include "module_interface.h"

namespace quillmark::modules {

inline constexpr char kModuleBuildId[] = QUILLMARK_MODULE_BUILD_ID;

}  // namespace quillmark::modules

// Puts this build's id in the module's file, where the loader reads it
// before opening the module; one use in each module, in its entry's file.
#define QUILLMARK_MODULE_BUILD_STAMP(name)                                               \
  __attribute__((used, section(QUILLMARK_MODULE_BUILD_SECTION))) constexpr char name[] = \
      QUILLMARK_MODULE_BUILD_ID
