#include "zpl_labels.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "code_ahead.h"
#include "label_design.h"
#include "label_font.h"
#include "label_sheet.h"
#include "label_texts.h"
#include "text_metrics.h"
#include "zpl_fields.h"

namespace quillmark::labels {
namespace {

std::vector<std::string> ColonAddresses(const BatchManifest& manifest, std::size_t i) {
  std::vector<std::string> addresses;
  for (const MacAddress& a : DeviceAddresses(manifest.devices[i].first, manifest.macsPerDevice))
    addresses.push_back(a.ToColonText());
  return addresses;
}

// A code as the printer is to draw it; the printer encodes it again from
// the payload, so this is all a label keeps of the code between the check
// and the writing.
struct Placed {
  int module = 0;  // dots
  int left = 0;    // of the first dark module, dots
  int top = 0;
  int height = 0;  // Code 128 bars, dots
  int side = 0;    // Data Matrix modules a side, without the quiet zone
};

// The resolution as the user gave it.
std::string NominalDpi(int dpmm) {
  for (const PrinterResolution& resolution : kPrinterResolutions) {
    if (resolution.dotsPerMillimetre == dpmm)
      return std::string(resolution.dpi);
  }
  return std::to_string(dpmm * 254 / 10);
}

std::string TooDense(const LabelDesign& d, const LabelLayout& layout, const ModuleGrid& grid,
                     const std::string& fileName, int dpmm, int minModule) {
  char text[256];
  std::snprintf(text, sizeof text, "%.2f", grid.width * static_cast<double>(minModule) / dpmm);
  char room[32];
  std::snprintf(room, sizeof room, "%.2f", d.codeWidth);
  return Fill({"条码太密，%1 标签在 %2 dpi 下放不下：%3 的 %4 需要 %5 毫米宽，标签上只有 %6 毫米！",
               "The code is too dense for a %1 label at %2 dpi: the %4 of %3 needs %5 mm, and "
               "the label has %6 mm."},
              {layout.name, NominalDpi(dpmm), fileName, CodeKindName(d.kind), text, room});
}

std::optional<Placed> PlaceInDots(const LabelDesign& d, const ModuleGrid& grid, int dpmm,
                                  int minModule) {
  const int boxLeft = Dots(d.codeLeft, dpmm);
  const int boxTop = Dots(d.codeTop, dpmm);
  const int boxWidth = static_cast<int>(std::floor(d.codeWidth * dpmm));
  const int boxHeight = static_cast<int>(std::floor(d.codeHeight * dpmm));
  Placed p;
  p.module = boxWidth / grid.width;
  if (IsSquareCode(d.kind))
    p.module = std::min(p.module, boxHeight / grid.height);
  p.height = boxHeight;
  if (p.module < minModule || (!IsSquareCode(d.kind) && p.height < kMinBarHeight * dpmm))
    return std::nullopt;
  int quietX = grid.width;
  int quietY = grid.height;
  for (int y = 0; y < grid.height; ++y)
    for (int x = 0; x < grid.width; ++x)
      if (grid.IsDark(x, y)) {
        quietX = std::min(quietX, x);
        quietY = std::min(quietY, y);
      }
  const int symbolHeight = IsSquareCode(d.kind) ? p.module * grid.height : p.height;
  p.left = boxLeft + (boxWidth - p.module * grid.width) / 2 + quietX * p.module;
  p.top = boxTop + (boxHeight - symbolHeight) / 2 + (IsSquareCode(d.kind) ? quietY * p.module : 0);
  p.side = grid.width - 2;  // a Data Matrix has one quiet module a side
  return p;
}

std::string CodeField(CodeKind kind, const Placed& p, const std::string& payload) {
  switch (kind) {
    case CodeKind::Qr:
      // Level M, automatic data mode.
      return FieldOrigin(p.left, p.top) + "^BQN,2," + std::to_string(p.module) +
             HexField("MA," + payload);
    case CodeKind::DataMatrix: {
      const std::string side = std::to_string(p.side);
      return FieldOrigin(p.left, p.top) + "^BXN," + std::to_string(p.module) + ",200," + side +
             "," + side + HexField(payload);
    }
    case CodeKind::Code128:
      return FieldOrigin(p.left, p.top) + "^BY" + std::to_string(p.module) + "^BCN," +
             std::to_string(p.height) + ",N,N,N,A" + HexField(payload);
  }
  return {};
}

unsigned Helpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? cores - 1 : 1;
}

}  // namespace

// What every label shares, and where each one's code goes.
struct ZplLabels::Plan {
  const BatchManifest* manifest = nullptr;
  LabelFont font;  // the face the metrics measure with
  std::unique_ptr<TextMetrics> metrics;
  LabelDesign design;
  int dpmm = 0;
  std::string head;   // ^XA and the label's size
  std::string store;  // the title's picture, stored ahead of the first label
  std::string title;  // where each label recalls it
  double fileLeft = 0;
  std::vector<Placed> codes;  // one a device, in manifest order
};

ZplLabels::ZplLabels() = default;
ZplLabels::ZplLabels(ZplLabels&&) noexcept = default;
ZplLabels& ZplLabels::operator=(ZplLabels&&) noexcept = default;
ZplLabels::~ZplLabels() = default;

int DotsPerMillimetre(std::string_view dpi) {
  for (const PrinterResolution& resolution : kPrinterResolutions) {
    if (resolution.dpi == dpi)
      return resolution.dotsPerMillimetre;
  }
  return 0;
}

ZplLabels CheckZplLabels(const ZplRequest& request, const BatchManifest& manifest) {
  ZplLabels out;
  const LabelLayout& layout = *request.layout;
  const int dpmm = request.dotsPerMillimetre;
  FontChoice font = FindLabelFont(CharactersShown(request.title), request.font);
  if (!font.font) {
    out.m_error = FontRefusal(font, request.font);
    return out;
  }
  auto plan = std::make_unique<ZplLabels::Plan>();
  plan->manifest = &manifest;
  plan->font = std::move(*font.font);
  plan->metrics = std::make_unique<TextMetrics>(plan->font.face.get());
  plan->dpmm = dpmm;
  const TextMetrics& metrics = *plan->metrics;
  const DesignResult design =
      DesignLabel(layout, request.code, manifest.macsPerDevice, request.title, metrics);
  if (!design.design) {
    out.m_error = design.error;
    return out;
  }
  const LabelDesign& d = plan->design = *design.design;
  plan->fileLeft = d.footerLeft;
  if (!request.title.empty()) {
    const StoredGraphic graphic = StoreGraphic(
        TitlePicture(request.title, d.footerSize, dpmm, plan->font.face.get(), metrics));
    plan->store = graphic.store;
    plan->title = FieldOrigin(Dots(d.footerLeft, dpmm),
                              Dots(d.footerBaseline - metrics.Ascent() * d.footerSize, dpmm)) +
                  graphic.recall + "\n";
    plan->fileLeft += metrics.Advance(request.title + "  ") * d.footerSize;
  }
  plan->head = "^XA\n^CI0^PW" + std::to_string(Dots(layout.labelWidth, dpmm)) + "^LL" +
               std::to_string(Dots(layout.labelHeight, dpmm)) + "^LH0,0\n";
  const int minModule = static_cast<int>(std::ceil(kMinModule * dpmm - 1e-9));
  const std::size_t count = manifest.devices.size();
  CodeAhead codes(
      request.code, count,
      [&](std::size_t i) { return CodePayload(request.code, ColonAddresses(manifest, i)); },
      Helpers());
  plan->codes.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const EncodedCode code = codes.Take(i);
    if (!code.grid) {
      out.m_error =
          Fill({"无法生成%1：%2：%3", "Cannot make the %1: %2: %3"},
               {CodeKindName(d.kind), manifest.devices[i].first.ToFileName(), code.error});
      return out;
    }
    const std::optional<Placed> place = PlaceInDots(d, *code.grid, dpmm, minModule);
    if (!place) {
      out.m_error =
          TooDense(d, layout, *code.grid, manifest.devices[i].first.ToFileName(), dpmm, minModule);
      return out;
    }
    plan->codes.push_back(*place);
  }
  out.m_plan = std::move(plan);
  return out;
}

bool ZplLabels::WriteTo(const ByteSink& put, std::size_t pieceBytes) const {
  if (!m_plan)
    return false;
  const Plan& p = *m_plan;
  const LabelDesign& d = p.design;
  std::string piece = p.store;
  piece.reserve(pieceBytes);
  for (std::size_t i = 0; i < p.codes.size(); ++i) {
    const std::vector<std::string> addresses = ColonAddresses(*p.manifest, i);
    piece += p.head;
    piece += CodeField(d.kind, p.codes[i], CodePayload(d.kind, addresses)) + "\n";
    for (std::size_t a = 0; a < addresses.size(); ++a) {
      const bool first = a == 0;
      const double size = first ? d.firstSize : d.otherSize;
      const double baseline =
          first ? d.firstBaseline : d.otherBaseline + static_cast<double>(a - 1) * d.otherStep;
      double left = d.textLeft;
      if (d.centredText)
        left += (d.textWidth - p.metrics->Advance(addresses[a]) * size) / 2;
      piece += TextField(addresses[a], size, left, baseline, *p.metrics, p.dpmm);
    }
    piece += p.title;
    piece += TextField(p.manifest->devices[i].first.ToFileName(), d.footerSize, p.fileLeft,
                       d.footerBaseline, *p.metrics, p.dpmm);
    piece += "^PQ1\n^XZ\n";
    if (piece.size() >= pieceBytes) {
      if (!put(piece))
        return false;
      piece.clear();
    }
  }
  return piece.empty() || put(piece);
}

}  // namespace quillmark::labels
