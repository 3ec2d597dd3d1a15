#pragma once

namespace quillmark::cli {

// The process exit statuses that scripts driving the tool rely on.
inline constexpr int kExitSuccess = 0;       // every device's file written
inline constexpr int kExitRejected = 1;      // the request was refused before any device
inline constexpr int kExitUsage = 2;         // the command line could not be understood
inline constexpr int kExitRunFailed = 3;     // the run ended with a failure
inline constexpr int kExitSignalBase = 128;  // plus the number of the stopping signal

}  // namespace quillmark::cli
