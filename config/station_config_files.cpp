#include <cstdint>
#include <cstdlib>

#include "config_file_trust.h"
#include "interface_text.h"
#include "printable_text.h"
#include "station_config.h"

#ifndef QUILLMARK_SYSTEM_CONFIG_PATH
#define QUILLMARK_SYSTEM_CONFIG_PATH "/etc/quillmark/quillmark.toml"
#endif

namespace quillmark {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The program's own folder: Windows programs name theirs as the product
// is written (%ProgramData%\Quillmark), XDG ones in lower case.
#ifdef _WIN32
constexpr const char* kOwnFolder = "Quillmark";
#else
constexpr const char* kOwnFolder = "quillmark";
#endif

std::string Joined(const std::string& folder, const char* rest) {
  if (folder.empty())
    return {};
  return folder + kPathSeparator + kOwnFolder + kPathSeparator + rest;
}

// One file's text; an absent file is an empty configuration.
StationConfigResult LoadFile(const std::string& path, PlatformFiles& files) {
  if (path.empty() || files.KindOf(path) == PathKind::None)
    return {};
  const ConfigFileTrust trust = JudgeConfigFile(path);
  if (!trust.refusal.empty())
    return {{}, trust.refusal};
  // A configuration is a few lines; anything past this is not one.
  constexpr std::uint64_t kLargestConfig = 1 << 20;
  std::string text;
  bool read = false;
  if (const FileHandle file = files.OpenForReading(path); file != kNoFile) {
    const std::optional<std::uint64_t> size = files.SizeOf(file);
    // The file read must be the one judged, not one swapped in since.
    const std::optional<FileState> state = files.StateOf(file);
    const bool judged = !trust.identity || (state && state->identity == *trust.identity);
    if (size && *size <= kLargestConfig && judged) {
      text.resize(*size);
      read = files.ReadAll(file, reinterpret_cast<std::uint8_t*>(text.data()), *size) == *size;
    }
    files.Close(file);
  }
  // A file there but unread would leave the station on defaults nobody chose.
  if (!read)
    return {{},
            EscapeControlCharacters(
                Fill({"配置文件错误！%1：无法读取（须是不超过1 MiB、可读的普通文件）",
                      "Cannot use the station configuration: %1: cannot be read (it "
                      "must be a readable regular file of at most 1 MiB)"},
                     {path}))};
  return ReadStationConfig(text, path);
}

template <typename Field>
void Overlay(Field& base, const Field& over) {
  if (over)
    base = over;
}

}  // namespace

StationConfigPaths StationConfigLocations() {
  StationConfigPaths paths;
  paths.system = Environment("QUILLMARK_SYSTEM_CONFIG");
#ifdef _WIN32
  if (paths.system.empty())
    paths.system = Joined(Environment("PROGRAMDATA"), "quillmark.toml");
  paths.user = Joined(Environment("APPDATA"), "quillmark.toml");
#else
  if (paths.system.empty())
    paths.system = QUILLMARK_SYSTEM_CONFIG_PATH;
  // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
  std::string base = Environment("XDG_CONFIG_HOME");
  if (base.empty() || base.front() != '/') {
    const std::string home = Environment("HOME");
    base = home.empty() ? std::string() : home + "/.config";
  }
  paths.user = Joined(base, "quillmark.toml");
#endif
  return paths;
}

StationConfigResult LoadStationConfig(const StationConfigPaths& paths, PlatformFiles& files) {
  StationConfigResult system = LoadFile(paths.system, files);
  if (!system.error.empty())
    return system;
  StationConfigResult user = LoadFile(paths.user, files);
  if (!user.error.empty())
    return user;
  StationConfig& config = system.config;
  const StationConfig& mine = user.config;
  Overlay(config.ledger, mine.ledger);
  Overlay(config.station, mine.station);
  Overlay(config.pool, mine.pool);
  Overlay(config.lot, mine.lot);
  Overlay(config.series, mine.series);
  Overlay(config.labelFont, mine.labelFont);
  Overlay(config.startMac, mine.startMac);
  Overlay(config.deviceCount, mine.deviceCount);
  Overlay(config.macsPerDevice, mine.macsPerDevice);
  Overlay(config.labelLayout, mine.labelLayout);
  Overlay(config.language, mine.language);
  Overlay(config.lenient, mine.lenient);
  Overlay(config.profile, mine.profile);
  return system;
}

StationConfigResult LoadStationConfig() {
  SystemFiles files;
  return LoadStationConfig(StationConfigLocations(), files);
}

std::string ChooseStationLanguage() {
  const std::optional<std::string> invalid = InvalidLanguageVariable(&ProcessEnvironment);
  const StationConfigResult config = LoadStationConfig();
  ChooseInterfaceLanguage(config.config.language.value_or(LanguageChoice::Auto));
  if (!invalid)
    return {};
  return EscapeControlCharacters(
      Fill({"%1=%2 无效：应是 zh、en 或 auto", "%1=%2 is not valid: it must be zh, en or auto"},
           {kLanguageVariable, *invalid}));
}

void ApplyRequestDefaults(const StationConfig& config, JobRequestTexts& texts) {
  texts.startMac = config.startMac.value_or(texts.startMac);
  texts.deviceCount = config.deviceCount.value_or(texts.deviceCount);
  texts.macsPerDevice = config.macsPerDevice.value_or(texts.macsPerDevice);
  texts.profilePath = config.profile.value_or(texts.profilePath);
}

}  // namespace quillmark
