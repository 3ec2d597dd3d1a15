#pragma once

#include <optional>
#include <string>

#include "interface_language.h"
#include "job_acceptance.h"
#include "platform_file.h"

namespace quillmark {

// A station's settings from its configuration files: where its ledger is,
// its name, pool and lot, and the request's defaults. A key that is absent
// leaves the front end's own default.
struct StationConfig {
  std::optional<std::string> ledger;
  std::optional<std::string> station;
  std::optional<std::string> pool;
  std::optional<std::string> lot;
  std::optional<std::string> series;         // the serial series a new batch takes its serials from
  std::optional<std::string> labelFont;      // the family labels are set in
  std::optional<std::string> startMac;       // written in full, as acceptance reads it
  std::optional<std::string> deviceCount;    // as the count field's text
  std::optional<std::string> macsPerDevice;  // as the field's text
  std::optional<std::string> labelLayout;    // the labels' stock, as --layout names it
  std::optional<LanguageChoice> language;    // the interface's, below QUILLMARK_LANGUAGE
  std::optional<bool> lenient;               // the command line reads input as the dialog does
  std::optional<std::string> profile;        // a stamp profile's absolute path
};

struct [[nodiscard]] StationConfigResult {
  StationConfig config;  // empty when refused
  std::string error;     // one line naming the file and its line, when refused
};

// Reads one file's text; name is how a refusal names the file.
StationConfigResult ReadStationConfig(const std::string& text, const std::string& name);

// The files read, the system's first; an empty path is not read.
struct StationConfigPaths {
  std::string system;
  std::string user;
};

// Where this machine keeps them: the system file is QUILLMARK_SYSTEM_CONFIG
// when set (for tests and packagers), else the built-in path; the user's
// is under $XDG_CONFIG_HOME (default ~/.config) on Linux, under %APPDATA%
// on Windows.
StationConfigPaths StationConfigLocations();

// Reads both files; a key of the user's file replaces the system's. A file
// that is absent adds nothing; one that cannot be read or is refused
// refuses the whole configuration.
StationConfigResult LoadStationConfig(const StationConfigPaths& paths, PlatformFiles& files);
StationConfigResult LoadStationConfig();

// Chooses the process's language (ChooseInterfaceLanguage) with the
// configuration's language key, before a front end shows any text. A
// configuration in error chooses nothing from it: the front end refuses it
// later, in the environment's language. Returns the one-line refusal of a
// QUILLMARK_LANGUAGE naming no language, or "".
std::string ChooseStationLanguage();

// The request's defaults the configuration sets, written over texts.
void ApplyRequestDefaults(const StationConfig& config, JobRequestTexts& texts);

}  // namespace quillmark
