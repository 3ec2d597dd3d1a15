#pragma once

// What a module and the program that opens it agree on before either calls
// the other: the interface's number and the build's version. A module of
// another build may lay out the same C++ types differently, so it is
// refused rather than called.
namespace quillmark::modules {

#ifndef QUILLMARK_MODULE_INTERFACE
#define QUILLMARK_MODULE_INTERFACE 1
#endif

inline constexpr int kModuleInterface = QUILLMARK_MODULE_INTERFACE;

// The first two fields of every module's entry table; the program reads
// nothing else until both match its own.
struct ModuleHeader {
  int interfaceNumber;
  const char* buildVersion;
};

}  // namespace quillmark::modules
