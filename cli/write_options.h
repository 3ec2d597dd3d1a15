#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "job_acceptance.h"
#include "request_options.h"

namespace quillmark::cli {

// The --start-mac value that asks the ledger for the pool's lowest free range.
inline constexpr const char* kNextFreeStart = "next";

// What the write command (quillmark-cli without a subcommand) was asked.
struct WriteOptions {
  JobRequestTexts texts = DialogDefaults();
  bool hasManifest = false;
  std::string manifestPath;
  bool dryRun = false;
  bool quiet = false;
  bool durable = false;
  bool json = false;     // JSON Lines on standard output instead of the texts
  bool lenient = false;  // values read as the dialog reads them, with a warning
  // The MAC ledger: --ledger, else QUILLMARK_LEDGER, else the station
  // configuration's, unless --no-ledger. Station, pool and lot likewise
  // come from the configuration when not given.
  bool useLedger = false;
  std::string ledgerLocation;
  std::string station;                     // empty: the host name
  std::string pool;                        // empty: whichever pool holds the batch
  std::string lot;                         // the production lot the ledger records; empty: none
  std::string series;                      // the serial series of a new batch; empty: none
  std::string rerunText;                   // --rerun as given
  std::optional<std::int64_t> rerunBatch;  // the batch written again on purpose
  std::string rerunReason;                 // --reason: why it is written again

  bool NextFreeStart() const { return useLedger && texts.startMac == kNextFreeStart; }
};

}  // namespace quillmark::cli
