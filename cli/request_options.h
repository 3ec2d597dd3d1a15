#pragma once

#include "job_acceptance.h"
#include "option_table.h"

namespace quillmark::cli {

// The dialog's defaults for the request's texts; the image has none.
JobRequestTexts DialogDefaults();

// The options that describe a batch the way the dialog's fields do
// (--image, --out, --start-mac, --count, --macs-per-device), filling texts.
OptionTable RequestOptionRows(JobRequestTexts& texts);

}  // namespace quillmark::cli
