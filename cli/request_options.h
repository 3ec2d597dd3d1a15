#pragma once

#include <string>
#include <vector>

#include "job_acceptance.h"
#include "option_table.h"

namespace quillmark::cli {

// The dialog's defaults for the request's texts; the image has none.
JobRequestTexts DialogDefaults();

// The options that describe a batch the way the dialog's fields do
// (--image, --out, --start-mac, --count, --macs-per-device), filling texts,
// and --lenient, setting lenient.
OptionTable RequestOptionRows(JobRequestTexts& texts, bool& lenient);

// The --lenient row, for the commands that read these values by other rows.
OptionRow LenientOptionRow(bool& lenient);

// One line for each value the reading rules bent (trailing text or a
// fraction ignored, "--count 4O：按 4 台处理"), for standard error before
// the request is judged; the values themselves stay as the rules read them.
std::vector<std::string> BentInputLines(const JobRequestTexts& texts);

// A script reads no warnings: without --lenient (or lenient = true in the
// station configuration) the first value the rules would bend refuses the
// command, as its warning and how to have it read. "" when none is bent.
std::string BentInputRefusal(const JobRequestTexts& texts);

}  // namespace quillmark::cli
