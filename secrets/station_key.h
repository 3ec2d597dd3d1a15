#pragma once

#include <string>

#include "secret_fingerprint.h"
#include "secret_result.h"
#include "secret_source.h"

namespace quillmark::secrets {

// The station key's file: its 32 bytes and nothing else.
//
// Creates it with 32 bytes from the source: exclusively (nothing may stand
// under the name, a link included) and, on POSIX systems, readable and
// writable by its owner alone (0600, whatever the umask). A file left
// half written is removed.
SecretResult<StationKey> CreateStationKey(const std::string& path, SecretSource& source);

// Reads it, without following a link at its name. On POSIX systems a file
// not owned by the user running this, or one its group or others may
// read or write, is refused: others could have read the key, and with it
// test guesses against the ledger's fingerprints. On Windows, where access
// lists take the mode's place, that is left to how the folder is set up.
SecretResult<StationKey> ReadStationKey(const std::string& path);

}  // namespace quillmark::secrets
