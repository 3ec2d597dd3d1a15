#include "station_run.h"

#include "batch_limits.h"
#include "batch_run.h"
#include "station_config.h"

namespace quillmark {

JobRequestTexts InitialFieldTexts() {
  JobRequestTexts texts = DefaultRequestTexts();
  ApplyRequestDefaults(LoadStationConfig().config, texts);
  return texts;
}

StationRunSetting StationRunSettingNow() {
  StationRunSetting setting;
  // A configuration in error would leave the run without the ledger or
  // the station the station meant it to have.
  const StationConfigResult config = LoadStationConfig();
  if (!config.error.empty()) {
    setting.refusal = config.error;
    return setting;
  }
  if (const std::optional<std::string> location = ConfiguredLedgerLocation(config.config)) {
    setting.ledger.use = true;
    setting.ledger.location = *location;
    setting.ledger.station = config.config.station.value_or("");
    setting.ledger.pool = config.config.pool.value_or("");
    setting.ledger.lot = config.config.lot.value_or("");
    setting.ledger.series = config.config.series.value_or("");
  }
  return setting;
}

}  // namespace quillmark
