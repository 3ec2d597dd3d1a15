#pragma once

#include <string>
#include <string_view>

#include "interface_text.h"

namespace quillmark::labels {

// The refusals both label formats give, PDF sheets and ZPL files alike.

inline std::string_view InvalidLabelText() {
  return Pick({"标签文字不是有效的UTF-8文本！", "The label text is not valid UTF-8."});
}

inline std::string MissingCharactersText(const std::string& missing) {
  return Fill({"没有字体含有这些字符：%1！", "No font holds these characters: %1."}, {missing});
}

inline std::string UnwritableLabelFileText(const std::string& path) {
  return Fill({"标签文件无法写入！%1", "Cannot write the label file: %1"}, {path});
}

}  // namespace quillmark::labels
