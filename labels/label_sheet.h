#pragma once

#include <string>

#include "batch_manifest.h"
#include "label_code.h"
#include "label_font.h"
#include "label_layout.h"
#include "platform_file.h"

namespace quillmark::labels {

struct LabelSheetRequest {
  const LabelLayout* layout = nullptr;
  CodeKind code = CodeKind::Qr;
  std::string title;  // UTF-8
  int firstCell = 1;  // the cell of the first sheet that takes the first label, from 1
  std::string font = std::string(kDefaultLabelFont);  // the family the text is set in
};

struct LabelSheetOutcome {
  bool written = false;
  std::string error;  // one line, when nothing was written
  int pages = 0;
  std::string font;  // the font file the text is set in
};

// Every character a sheet with this title shows; the font must have them all.
std::string CharactersShown(const std::string& title);

// Writes one label per device of the manifest, in its order, into a PDF at
// pdfPath: pages are drawn and written one at a time, under a hidden
// temporary name that is renamed onto pdfPath only when the whole document
// is there. On any failure nothing new is left under either name, and a
// file already under pdfPath stays as it was.
LabelSheetOutcome WriteLabelSheet(const std::string& pdfPath, const LabelSheetRequest& request,
                                  const BatchManifest& manifest, PlatformFiles& files);

}  // namespace quillmark::labels
