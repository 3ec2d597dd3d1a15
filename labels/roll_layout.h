#pragma once

#include <optional>
#include <string_view>

#include "label_layout.h"

namespace quillmark::labels {

// The sizes of roll label a thermal printer takes, in whole millimetres.
inline constexpr int kMinRollWidth = 20;
inline constexpr int kMaxRollWidth = 110;
inline constexpr int kMinRollHeight = 10;
inline constexpr int kMaxRollHeight = 110;

// "roll-WxH": one W × H mm label a page, W and H whole millimetres within
// the limits above. The layout's name views name, which must outlive it.
std::optional<LabelLayout> ParseRollLayout(std::string_view name);

bool IsRollLayout(const LabelLayout& layout);

}  // namespace quillmark::labels
