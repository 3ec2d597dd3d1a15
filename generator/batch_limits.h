#pragma once

#include <cstdint>

#include "job_acceptance.h"

namespace quillmark {

// The limits of one batch, as acceptance, the manifest reader and the
// ledger judge them.
inline constexpr std::int32_t kMinDeviceCount = 1;
inline constexpr std::int32_t kMaxDeviceCount = 65535;
inline constexpr std::int32_t kMinMacsPerDevice = 1;
inline constexpr std::int32_t kMaxMacsPerDevice = 4;

// A request's fields as the dialog opens and as the command line takes
// them when they are not given; the help texts name them from here.
inline constexpr const char* kDefaultStartMac = "04:57:55:00:00:00";
inline constexpr const char* kDefaultDeviceCount = "255";
inline constexpr const char* kDefaultMacsPerDevice = "1";
inline constexpr const char* kDefaultOutputDirectory = "out";

inline JobRequestTexts DefaultRequestTexts() {
  return JobRequestTexts{kDefaultStartMac,        kDefaultDeviceCount,
                         kDefaultMacsPerDevice,   "",
                         kDefaultOutputDirectory, ""};
}

}  // namespace quillmark
