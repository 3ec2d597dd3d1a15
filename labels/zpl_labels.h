#pragma once

#include <string>

#include "batch_manifest.h"
#include "label_code.h"
#include "label_layout.h"

namespace quillmark::labels {

// What a thermal printer is sent: ZPL II at its own dot grid.
struct ZplRequest {
  const LabelLayout* layout = nullptr;  // a roll layout: one label a page
  CodeKind code = CodeKind::Qr;
  std::string title;  // UTF-8
  int dotsPerMillimetre = 8;
};

struct ZplOutcome {
  bool made = false;
  std::string error;  // one line, when nothing was made
  std::string zpl;    // one ^XA … ^XZ per device, in manifest order
};

// 8, 12 or 24 dots a millimetre for 203, 300 or 600 dpi; 0 for any other.
int DotsPerMillimetre(int dpi);

// Makes the whole document before anything is written or sent, so a code
// that cannot fit at the printer's resolution refuses the run with nothing
// printed. Every module is a whole number of dots, the codes keep their
// quiet zones; the title is a graphic field drawn in the PDF's font (a
// printer has no Chinese font), the addresses and file name ASCII text in
// the printer's own font.
ZplOutcome MakeZplLabels(const ZplRequest& request, const BatchManifest& manifest);

}  // namespace quillmark::labels
