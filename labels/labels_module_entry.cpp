// The one symbol the label module exports.
#include "labels_command.h"
#include "labels_module.h"
#include "module_build_stamp.h"
#include "quillmark_version.h"

namespace {

QUILLMARK_MODULE_BUILD_STAMP(kBuildStamp);

const quillmark::labels::LabelsModuleEntry kEntry = {
    .header = {.interfaceNumber = quillmark::modules::kModuleInterface,
               .buildVersion = QUILLMARK_VERSION,
               .buildId = kBuildStamp},
    .runLabelsCommand = &quillmark::cli::RunLabelsCommand,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const quillmark::modules::ModuleHeader*
quillmark_labels_module() {
  return &kEntry.header;
}
