#include "label_sheet.h"

#include <cairo-pdf.h>

#include <optional>
#include <thread>

#include "code_ahead.h"
#include "file_replacement.h"
#include "label_design.h"
#include "label_font.h"
#include "label_painter.h"
#include "label_texts.h"
#include "pdf_sink.h"
#include "text_metrics.h"

namespace quillmark::labels {
namespace {

DeviceLabel LabelOf(const BatchManifest& manifest, std::size_t i) {
  const MacAddress& first = manifest.devices[i].first;
  DeviceLabel label{first.ToFileName(), {}};
  for (const MacAddress& address : DeviceAddresses(first, manifest.macsPerDevice))
    label.addresses.push_back(address.ToColonText());
  return label;
}

// One helper per further core: the drawing thread encodes too when it is
// ahead, so the cores stay busy without more threads than cores.
unsigned Helpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? cores - 1 : 1;
}

struct Document {
  LabelSheetOutcome outcome;
  bool drawn = false;
};

// Draws every label onto a PDF written into file; the first failure ends it.
Document DrawDocument(PlatformFiles& files, FileHandle file, const LabelSheetRequest& request,
                      const LabelPainter& painter, const BatchManifest& manifest) {
  const LabelLayout& layout = *request.layout;
  PdfSink sink(files, file);
  cairo_surface_t* pdf = cairo_pdf_surface_create_for_stream(
      &PdfSink::Write, &sink, layout.pageWidth * kPointsPerMillimetre,
      layout.pageHeight * kPointsPerMillimetre);
  if (!request.title.empty())
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, request.title.c_str());
  cairo_t* cr = cairo_create(pdf);
  cairo_scale(cr, kPointsPerMillimetre, kPointsPerMillimetre);

  Document document;
  const std::string layoutName(layout.name);
  const std::size_t count = manifest.devices.size();
  CodeAhead codes(
      request.code, count,
      [&](std::size_t i) { return CodePayload(request.code, LabelOf(manifest, i).addresses); },
      Helpers());
  int cell = request.firstCell - 1;
  for (std::size_t i = 0; i < count; ++i) {
    if (cell == layout.CellCount()) {
      cairo_show_page(cr);
      ++document.outcome.pages;
      cell = 0;
    }
    document.outcome.error = painter.Paint(cr, layout.CellLeft(cell), layout.CellTop(cell),
                                           LabelOf(manifest, i), codes.Take(i), layoutName);
    if (!document.outcome.error.empty() || sink.failed())
      break;
    ++cell;
  }
  if (document.outcome.error.empty()) {
    cairo_show_page(cr);
    ++document.outcome.pages;
  }
  cairo_destroy(cr);
  cairo_surface_finish(pdf);
  const bool complete = cairo_surface_status(pdf) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(pdf);
  document.drawn = document.outcome.error.empty() && complete && sink.Flush();
  return document;
}

}  // namespace

// The title's characters, and those of addresses in colon form and of the
// file names made from them.
std::string CharactersShown(const std::string& title) {
  return title + "0123456789abcdef:fw_.img";
}

LabelSheetOutcome WriteLabelSheet(const std::string& pdfPath, const LabelSheetRequest& request,
                                  const BatchManifest& manifest, PlatformFiles& files) {
  LabelSheetOutcome failed;
  const LabelLayout& layout = *request.layout;
  if (request.firstCell < 1 || request.firstCell > layout.CellCount()) {
    failed.error = Pick({"起始标签位置超出范围！", "The first label position is out of range."});
    return failed;
  }
  if (manifest.devices.empty()) {
    failed.error = Pick({"没有需要打印的标签！", "There are no labels to print."});
    return failed;
  }
  FontChoice font = FindLabelFont(CharactersShown(request.title), request.font);
  if (!font.font) {
    failed.error = FontRefusal(font, request.font);
    return failed;
  }
  const TextMetrics metrics(font.font->face.get());
  const DesignResult design =
      DesignLabel(layout, request.code, manifest.macsPerDevice, request.title, metrics);
  if (!design.design) {
    failed.error = design.error;
    return failed;
  }
  const LabelPainter painter(*design.design, font.font->face.get(), request.title);

  const std::string unwritable = UnwritableLabelFileText(pdfPath);
  if (files.IsDirectory(pdfPath)) {
    failed.error = unwritable;
    return failed;
  }
  // The sheet is written under a temporary name of its own in its folder,
  // held open meanwhile, and renamed once whole; an older sheet stays
  // until then.
  StagedOutput output(files, pdfPath);
  if (!output.Created()) {
    failed.error = unwritable;
    return failed;
  }
  Document document = DrawDocument(files, output.File(), request, painter, manifest);
  const OutputWrite written = output.Commit(document.drawn, false);
  if (!document.outcome.error.empty())
    return document.outcome;  // a label that cannot be made: its own line
  if (written != OutputWrite::Written) {
    failed.error = unwritable;
    return failed;
  }
  document.outcome.written = true;
  document.outcome.font = font.font->file;
  return document.outcome;
}

}  // namespace quillmark::labels
