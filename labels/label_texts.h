#pragma once

#include <string>
#include <string_view>

#include "interface_text.h"
#include "label_font.h"

namespace quillmark::labels {

// The refusals both label formats give, PDF sheets and ZPL files alike.

inline std::string_view InvalidLabelText() {
  return Pick({"标签文字不是有效的UTF-8文本！", "The label text is not valid UTF-8."});
}

// Why the label font cannot set the text: the one line a refusal gives.
[[nodiscard]] inline std::string FontRefusal(const FontChoice& choice, std::string_view family) {
  if (choice.invalidText)
    return std::string(InvalidLabelText());
  if (choice.notInstalled)
    return Fill({"标签字体未安装！%1", "The label font is not installed: %1"}, {family});
  if (!choice.missing.empty())
    return Fill({"标签字体 %1 不含这些字符：%2！",
                 "The label font %1 has no glyph for these characters: %2."},
                {family, choice.missing});
  return Fill({"标签字体无法使用！%1", "The label font cannot be used: %1"}, {family});
}

inline std::string UnwritableLabelFileText(const std::string& path) {
  return Fill({"标签文件无法写入！%1", "Cannot write the label file: %1"}, {path});
}

}  // namespace quillmark::labels
