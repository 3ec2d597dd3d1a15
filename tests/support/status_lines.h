#pragma once

#include <string>

#include "mac_address.h"
#include "status_texts.h"

namespace quillmark::test {

// The saving text for a device whose first address is colonText.
inline std::string Saving(const char* colonText) {
  return SavingText(*MacAddress::Parse(colonText));
}

// The final text as a whole line, and the line with its end.
inline const std::string kFinishedLine{kRunFinishedText};
inline const std::string kFinishedOutput = kFinishedLine + "\n";

}  // namespace quillmark::test
