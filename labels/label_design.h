#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "label_code.h"
#include "label_layout.h"
#include "text_metrics.h"

namespace quillmark::labels {

// Nothing is printed nearer a label's edge than this: die-cut stock and
// roll printers are placed to within about a millimetre.
inline constexpr double kLabelPadding = 2.0;
// The narrowest module (bar or cell) a code may have and still scan from
// a label printed at 203 dpi or better.
inline constexpr double kMinModule = 0.25;
// Code 128 bars shorter than this are hard to hit with a hand scanner.
inline constexpr double kMinBarHeight = 5.0;

// Where everything of one label goes, in millimetres from the label's
// top-left corner; the same for every label of a sheet, so the labels of a
// batch look alike. Font sizes are in millimetres too.
struct LabelDesign {
  CodeKind kind = CodeKind::Qr;
  double labelWidth = 0;
  // The box the code is centred in.
  double codeLeft = 0;
  double codeTop = 0;
  double codeWidth = 0;
  double codeHeight = 0;
  // Lines of text: left-aligned at textLeft beside a square code, centred
  // on the label above a Code 128.
  bool centredText = false;
  double textLeft = 0;
  double textWidth = 0;  // the widest a line may be
  double firstSize = 0;
  double firstBaseline = 0;
  double otherSize = 0;
  double otherBaseline = 0;  // of the second address; each further one a step lower
  double otherStep = 0;
  // The small line with the title and the file name.
  double footerSize = 0;
  double footerLeft = 0;
  double footerWidth = 0;
  double footerBaseline = 0;
};

struct [[nodiscard]] DesignResult {
  std::optional<LabelDesign> design;
  std::string error;  // one line, when there is no design
};

// Fits the code, addressCount addresses and the title line onto a label
// of the layout, or says what does not fit.
DesignResult DesignLabel(const LabelLayout& layout, CodeKind kind, int addressCount,
                         std::string_view title, const TextMetrics& metrics);

// Where one symbol goes inside the design's code box.
struct CodePlacement {
  double left = 0;
  double top = 0;
  double module = 0;  // width of one module
  double height = 0;  // of the whole symbol
};

// The largest modules that fit the box; none when they would be narrower
// than kMinModule. neededWidth tells the width the symbol needs at that size.
std::optional<CodePlacement> PlaceCode(const LabelDesign& design, const ModuleGrid& grid);
double NeededWidth(const ModuleGrid& grid);

// The title line of one label: the title, two spaces, the file name.
std::string FooterText(std::string_view title, std::string_view fileName);

}  // namespace quillmark::labels
