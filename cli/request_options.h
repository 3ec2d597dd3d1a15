#pragma once

#include <string>
#include <vector>

#include "job_acceptance.h"
#include "option_table.h"

namespace quillmark::cli {

// The dialog's defaults for the request's texts; the image has none.
JobRequestTexts DialogDefaults();

// The options that describe a batch the way the dialog's fields do
// (--image, --out, --start-mac, --count, --macs-per-device), filling texts.
OptionTable RequestOptionRows(JobRequestTexts& texts);

// One line for each value the reading rules bent (trailing text or a
// fraction ignored, "--count 4O：按 4 台处理"), for standard error before
// the request is judged; the values themselves stay as the rules read them.
std::vector<std::string> BentInputLines(const JobRequestTexts& texts);

}  // namespace quillmark::cli
