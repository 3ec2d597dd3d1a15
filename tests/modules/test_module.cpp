// A stand-in module for the loader's tests: it answers to the entry of both
// modules, runs every labels command as a success, and its constructor
// leaves the file QUILLMARK_TEST_MODULE_MARKER, so a test sees whether any
// of its code ran. Built once with this build's id and once with another.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "labels_module.h"
#include "module_build_stamp.h"
#include "quillmark_version.h"

namespace {

__attribute__((constructor)) void LeaveMarker() {
  if (const char* marker = std::getenv("QUILLMARK_TEST_MODULE_MARKER"))
    ::close(::open(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
}

QUILLMARK_MODULE_BUILD_STAMP(kBuildStamp);

int RunLabelsCommand(const std::vector<std::string>&) {
  return 0;
}

const quillmark::labels::LabelsModuleEntry kEntry = {
    .header = {.interfaceNumber = quillmark::modules::kModuleInterface,
               .buildVersion = QUILLMARK_VERSION,
               .buildId = kBuildStamp},
    .runLabelsCommand = &RunLabelsCommand,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const quillmark::modules::ModuleHeader*
quillmark_labels_module() {
  return &kEntry.header;
}

// Only ever refused in the tests: a PostgreSQL entry table has other fields.
extern "C" __attribute__((visibility("default"))) const quillmark::modules::ModuleHeader*
quillmark_postgresql_module() {
  return &kEntry.header;
}
