#include "roll_layout.h"

namespace quillmark::labels {
namespace {

// Decimal digits only, no sign, no leading zero, at most three of them.
std::optional<int> ReadMillimetres(std::string_view text) {
  if (text.empty() || text.size() > 3 || text.front() == '0')
    return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<LabelLayout> ParseRollLayout(std::string_view name) {
  constexpr std::string_view kPrefix = "roll-";
  if (!name.starts_with(kPrefix))
    return std::nullopt;
  const std::string_view size = name.substr(kPrefix.size());
  const std::size_t x = size.find('x');
  if (x == std::string_view::npos)
    return std::nullopt;
  const std::optional<int> width = ReadMillimetres(size.substr(0, x));
  const std::optional<int> height = ReadMillimetres(size.substr(x + 1));
  if (!width || !height || *width < kMinRollWidth || *width > kMaxRollWidth ||
      *height < kMinRollHeight || *height > kMaxRollHeight)
    return std::nullopt;
  const double w = *width;
  const double h = *height;
  return LabelLayout{name, w, h, 1, 1, w, h, 0.0, 0.0, w, h};
}

bool IsRollLayout(const LabelLayout& layout) {
  return layout.name.starts_with("roll-");
}

}  // namespace quillmark::labels
