#pragma once

#include "module_build_id.h"

// What a module and the program that opens it agree on. A module of another
// build may lay out the same C++ types differently, so it must be refused
// before any of its code runs, its constructors included: the build id is
// read from the file's section QUILLMARK_MODULE_BUILD_SECTION before the
// file is opened, and checked once more in the header its entry returns.
namespace quillmark::modules {

inline constexpr int kModuleInterface = 2;

// The section holding the build id (with its terminating zero) and nothing
// else.
#define QUILLMARK_MODULE_BUILD_SECTION ".quillmark_build"

inline constexpr char kModuleBuildId[] = QUILLMARK_MODULE_BUILD_ID;

// The first fields of every module's entry table; the program reads nothing
// else until all match its own.
struct ModuleHeader {
  int interfaceNumber;
  const char* buildVersion;
  const char* buildId;
};

}  // namespace quillmark::modules

// Puts this build's id in the module's file, where the loader reads it
// before opening the module; one use in each module, in its entry's file.
#define QUILLMARK_MODULE_BUILD_STAMP(name)                                               \
  __attribute__((used, section(QUILLMARK_MODULE_BUILD_SECTION))) constexpr char name[] = \
      QUILLMARK_MODULE_BUILD_ID
