#pragma once

#include <span>
#include <string_view>

namespace quillmark::labels {

// Where the labels of one kind of stock stand, in millimetres from the
// page's top-left corner. The numbers are those of the stock itself, so a
// printed sheet lines up with its die-cut labels.
struct LabelLayout {
  std::string_view name;
  double pageWidth = 0;
  double pageHeight = 0;
  int columns = 0;
  int rows = 0;
  double labelWidth = 0;
  double labelHeight = 0;
  double leftMargin = 0;   // page edge to the left edge of the first column
  double topMargin = 0;    // page edge to the top edge of the first row
  double columnPitch = 0;  // left edge of one column to the left edge of the next
  double rowPitch = 0;     // top edge of one row to the top edge of the next

  int CellCount() const { return columns * rows; }
  // Top-left corner of a cell; cells are counted from 0, left to right,
  // then top to bottom.
  double CellLeft(int cell) const { return leftMargin + (cell % columns) * columnPitch; }
  double CellTop(int cell) const { return topMargin + (cell / columns) * rowPitch; }
};

inline constexpr std::string_view kDefaultLayoutName = "a4-3x8";
// The default for ZPL, which prints on rolls only.
inline constexpr std::string_view kDefaultRollLayoutName = "roll-50x25";

// Every layout the tool knows, the default first.
std::span<const LabelLayout> KnownLayouts();
// nullptr when no layout has that name.
const LabelLayout* FindLayout(std::string_view name);

inline constexpr double kPointsPerMillimetre = 72.0 / 25.4;

}  // namespace quillmark::labels
