// The one symbol the label module exports.
#include "labels_command.h"
#include "labels_module.h"
#include "quillmark_version.h"

namespace {

const quillmark::labels::LabelsModuleEntry kEntry = {
    .header = {.interfaceNumber = quillmark::modules::kModuleInterface,
               .buildVersion = QUILLMARK_VERSION},
    .runLabelsCommand = &quillmark::cli::RunLabelsCommand,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const quillmark::modules::ModuleHeader*
quillmark_labels_module() {
  return &kEntry.header;
}
