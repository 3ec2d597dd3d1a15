#include "label_layout.h"

#include <array>

namespace quillmark::labels {
namespace {

constexpr double kInch = 25.4;

constexpr std::array<LabelLayout, 3> kLayouts{{
    // A4 sheet of 24 labels of 70 × 37 mm: the three columns span the
    // whole 210 mm width, the eight rows leave 0.5 mm above and below.
    {"a4-3x8", 210.0, 297.0, 3, 8, 70.0, 37.0, 0.0, 0.5, 70.0, 37.0},
    // US Letter sheet of 30 address labels of 2 5/8 × 1 in (66.675 ×
    // 25.4 mm): 3/16 in side margins, 1/8 in between columns, 1/2 in top
    // and bottom margins, rows touching.
    {"letter-3x10", 8.5 * kInch, 11.0 * kInch, 3, 10, 2.625 * kInch, 1.0 * kInch, 0.1875 * kInch,
     0.5 * kInch, 2.75 * kInch, 1.0 * kInch},
    // A roll of 50 × 25 mm labels: each label is a page of its own.
    {"roll-50x25", 50.0, 25.0, 1, 1, 50.0, 25.0, 0.0, 0.0, 50.0, 25.0},
}};

}  // namespace

std::span<const LabelLayout> KnownLayouts() {
  return kLayouts;
}

const LabelLayout* FindLayout(std::string_view name) {
  for (const LabelLayout& layout : kLayouts) {
    if (layout.name == name)
      return &layout;
  }
  return nullptr;
}

}  // namespace quillmark::labels
