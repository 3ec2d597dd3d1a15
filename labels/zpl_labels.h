#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "batch_manifest.h"
#include "byte_source.h"
#include "label_code.h"
#include "label_font.h"
#include "label_layout.h"

namespace quillmark::labels {

// What a thermal printer is sent: ZPL II at its own dot grid.
struct ZplRequest {
  const LabelLayout* layout = nullptr;  // a roll layout: one label a page
  CodeKind code = CodeKind::Qr;
  std::string title;  // UTF-8
  int dotsPerMillimetre = 8;
  std::string font = std::string(kDefaultLabelFont);  // the family the text is set in
};

// The pieces a document is put out in: few calls to write or send, and a
// memory that stays the same whatever the batch, resolution or title.
inline constexpr std::size_t kZplPieceBytes = std::size_t{64} << 10;

// A ZPL document every label of which has been checked. Every module is a
// whole number of dots, the codes keep their quiet zones; the title is a
// picture drawn in the PDF's font (a printer has no Chinese font), stored
// in the printer once ahead of the first label and recalled on each (its
// dots would otherwise be most of every label's bytes); the addresses and
// file name ASCII text in the printer's own font.
class ZplLabels {
 public:
  ZplLabels();
  ZplLabels(ZplLabels&&) noexcept;
  ZplLabels& operator=(ZplLabels&&) noexcept;
  ~ZplLabels();

  // "" once every label can be made; else the one line that refuses them.
  const std::string& Error() const { return m_error; }

  // The title's store (~DG, none without a title), then one ^XA … ^XZ per
  // device, in manifest order, made label by label and handed to put in
  // pieces of at least pieceBytes (the last may be shorter); false as soon
  // as put is. Labels sent again on their own need the store before them
  // should the printer have been switched off in between.
  bool WriteTo(const ByteSink& put, std::size_t pieceBytes = kZplPieceBytes) const;

 private:
  friend ZplLabels CheckZplLabels(const ZplRequest&, const BatchManifest&);
  struct Plan;
  std::unique_ptr<Plan> m_plan;
  std::string m_error;
};

// The printers' resolutions as they are sold (12 dots a millimetre is
// "300 dpi", not the 304.8 it comes to) and as ZPL counts them.
struct PrinterResolution {
  std::string_view dpi;
  int dotsPerMillimetre;
};
inline constexpr PrinterResolution kPrinterResolutions[] = {{"203", 8}, {"300", 12}, {"600", 24}};

// The dots a millimetre of a resolution given as "203", "300" or "600";
// 0 for any other.
int DotsPerMillimetre(std::string_view dpi);

// Encodes and places every code before anything is written or sent, so a
// code that cannot fit at the printer's resolution refuses the run with
// nothing printed. The manifest must outlive the result, which holds the
// label font: release the font caches only after it is gone.
ZplLabels CheckZplLabels(const ZplRequest& request, const BatchManifest& manifest);

}  // namespace quillmark::labels
