#pragma once

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

// The first fields of every module's entry table; the program reads nothing
// else until all match its own.
struct ModuleHeader {
  int interfaceNumber;
  const char* buildVersion;
  const char* buildId;
};

}  // namespace quillmark::modules
