#include "label_design.h"

#include <algorithm>

#include "interface_text.h"

namespace quillmark::labels {
namespace {

constexpr double kPoint = 25.4 / 72.0;
constexpr double kMaxFirstSize = 12 * kPoint;  // the first address, at its largest
constexpr double kMinAddressSize = 5 * kPoint;
constexpr double kOtherRatio = 0.8;  // further addresses, against the first
constexpr double kMaxFooterSize = 7 * kPoint;
constexpr double kMinFooterSize = 4.5 * kPoint;
constexpr double kGap = 1.5;        // between the code and the text
constexpr double kFooterGap = 0.8;  // above the title line
constexpr char kHexDigits[] = "0123456789abcdef";

// The width, at size 1, of the widest text an address or a file name can
// have, so no label of the batch needs more room than the design gives.
double WidestHexDigit(const TextMetrics& metrics) {
  double widest = 0;
  for (const char* d = kHexDigits; *d != '\0'; ++d)
    widest = std::max(widest, metrics.Advance(std::string_view(d, 1)));
  return widest;
}

double WidestAddress(const TextMetrics& metrics) {
  return 12 * WidestHexDigit(metrics) + 5 * metrics.Advance(":");
}

double WidestFooter(std::string_view title, const TextMetrics& metrics) {
  const double fileName = metrics.Advance("fw__.img") + 12 * WidestHexDigit(metrics);
  return metrics.Advance(FooterText(title, "")) + fileName;
}

std::string LayoutSays(const LabelLayout& layout) {
  return Fill({"%1 标签放不下！", "it does not fit on a %1 label."}, {layout.name});
}

// The address lines' sizes for the room they have; false when even the
// smallest legible size does not fit.
bool FitAddresses(LabelDesign& design, int addressCount, double width, double height,
                  const TextMetrics& metrics) {
  const double lines = 1 + kOtherRatio * (addressCount - 1);
  design.firstSize = std::min(
      {kMaxFirstSize, width / WidestAddress(metrics), height / (lines * metrics.LineHeight())});
  design.otherSize = kOtherRatio * design.firstSize;
  design.otherStep = design.otherSize * metrics.LineHeight();
  const double smallest = addressCount > 1 ? design.otherSize : design.firstSize;
  return smallest >= kMinAddressSize;
}

double AddressBlockHeight(const LabelDesign& design, int addressCount, const TextMetrics& metrics) {
  return design.firstSize * metrics.LineHeight() + (addressCount - 1) * design.otherStep;
}

void SetAddressBaselines(LabelDesign& design, double top, const TextMetrics& metrics) {
  design.firstBaseline = top + design.firstSize * metrics.Ascent();
  design.otherBaseline =
      top + design.firstSize * metrics.LineHeight() + design.otherSize * metrics.Ascent();
}

// Code left, addresses right, title line below; the whole centred.
bool DesignSquare(LabelDesign& d, int addressCount, double upper, const TextMetrics& metrics) {
  const double width = d.labelWidth - 2 * kLabelPadding;
  const double top = d.codeTop;
  const double side = std::min(upper, width / 2);
  if (!FitAddresses(d, addressCount, width - side - kGap, upper, metrics))
    return false;
  const double textWidth = d.firstSize * WidestAddress(metrics);
  const double blockWidth = std::max(side + kGap + textWidth, d.footerWidth);
  d.codeLeft = kLabelPadding + (width - blockWidth) / 2;
  d.codeWidth = d.codeHeight = side;
  d.textLeft = d.codeLeft + side + kGap;
  d.textWidth = width - (d.textLeft - kLabelPadding);
  d.footerLeft = d.codeLeft;
  const double textHeight = AddressBlockHeight(d, addressCount, metrics);
  SetAddressBaselines(d, top + (side - textHeight) / 2, metrics);
  return true;
}

// Addresses on top, bars across the label, title line below; centred.
bool DesignBars(LabelDesign& d, int addressCount, double upper, const TextMetrics& metrics) {
  const double width = d.labelWidth - 2 * kLabelPadding;
  const double bars = std::max(kMinBarHeight, 0.4 * upper);
  if (!FitAddresses(d, addressCount, width, upper - bars - kGap, metrics))
    return false;
  const double textHeight = AddressBlockHeight(d, addressCount, metrics);
  d.centredText = true;
  d.textLeft = kLabelPadding;
  d.textWidth = width;
  SetAddressBaselines(d, d.codeTop, metrics);
  d.codeLeft = kLabelPadding;
  d.codeWidth = width;
  d.codeTop += textHeight + kGap;
  d.codeHeight = upper - textHeight - kGap;
  d.footerLeft = kLabelPadding + (width - d.footerWidth) / 2;
  return true;
}

}  // namespace

std::string FooterText(std::string_view title, std::string_view fileName) {
  if (title.empty())
    return std::string(fileName);
  return std::string(title) + "  " + std::string(fileName);
}

DesignResult DesignLabel(const LabelLayout& layout, CodeKind kind, int addressCount,
                         std::string_view title, const TextMetrics& metrics) {
  LabelDesign d;
  d.kind = kind;
  d.labelWidth = layout.labelWidth;
  const double width = layout.labelWidth - 2 * kLabelPadding;
  const double footerAtOne = WidestFooter(title, metrics);
  d.footerSize = std::min(kMaxFooterSize, width / footerAtOne);
  if (d.footerSize < kMinFooterSize) {
    // The file name is on every label: without a title to blame, it is the
    // label that is too small.
    if (title.empty() || width / WidestFooter("", metrics) < kMinFooterSize)
      return {std::nullopt, Fill({"文件名行以最小可读字号也放不下，%1",
                                  "The file name line does not fit even at the smallest "
                                  "legible size: %1"},
                                 {LayoutSays(layout)})};
    return {std::nullopt,
            Fill({"标题太长，%1", "The title is too long: %1"}, {LayoutSays(layout)})};
  }
  d.footerWidth = d.footerSize * footerAtOne;
  const double footerTop = layout.labelHeight - kLabelPadding - d.footerSize * metrics.LineHeight();
  d.footerBaseline = footerTop + d.footerSize * metrics.Ascent();
  d.codeTop = kLabelPadding;
  const double upper = footerTop - kFooterGap - d.codeTop;  // room above the title line
  const auto fits = [&](int count) {
    LabelDesign trial = d;
    const bool fit = IsSquareCode(kind) ? DesignSquare(trial, count, upper, metrics)
                                        : DesignBars(trial, count, upper, metrics);
    if (fit)
      d = trial;
    return fit;
  };
  if (!fits(addressCount)) {
    // Fewer addresses help only where one would fit.
    if (addressCount == 1 || !fits(1))
      return {std::nullopt, Fill({"MAC地址以最小可读字号也放不下，%1",
                                  "A MAC address does not fit even at the smallest legible "
                                  "size: %1"},
                                 {LayoutSays(layout)})};
    return {std::nullopt,
            Fill({"每个设备的MAC地址太多，%1", "Too many MAC addresses per device: %1"},
                 {LayoutSays(layout)})};
  }
  return {d, {}};
}

double NeededWidth(const ModuleGrid& grid) {
  return grid.width * kMinModule;
}

std::optional<CodePlacement> PlaceCode(const LabelDesign& design, const ModuleGrid& grid) {
  CodePlacement place;
  if (IsSquareCode(design.kind)) {
    place.module = std::min(design.codeWidth / grid.width, design.codeHeight / grid.height);
    place.height = place.module * grid.height;
  } else {
    place.module = design.codeWidth / grid.width;
    place.height = design.codeHeight;
  }
  if (place.module < kMinModule || (!IsSquareCode(design.kind) && place.height < kMinBarHeight))
    return std::nullopt;
  place.left = design.codeLeft + (design.codeWidth - place.module * grid.width) / 2;
  place.top = design.codeTop + (design.codeHeight - place.height) / 2;
  return place;
}

}  // namespace quillmark::labels
