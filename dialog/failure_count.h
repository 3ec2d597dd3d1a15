#pragma once

#include <optional>
#include <string>

#include "interface_language.h"

namespace quillmark {

// What the failure count shows: "失败 5 / 10" and its tooltip, or nothing
// (both empty) while no device of the batch is without a file.
struct FailureCountShown {
  std::string text;
  std::string tip;
};

// "失败 5 / 10": devices without a file, of the batch.
std::string FailureCountText(int failed, int deviceCount, InterfaceLanguage language);

// The count of a batch of deviceCount devices: written and attempted (left
// without a file) so far; notReached is known once the run has ended, and
// the tooltip then says which failed and which the run never reached.
FailureCountShown FailureCountFor(int deviceCount, int written, int attempted,
                                  std::optional<int> notReached, InterfaceLanguage language);

}  // namespace quillmark
