#include "note_text.h"

#include <algorithm>

#include "interface_text.h"
#include "printable_text.h"

namespace quillmark {

NoteProblem CheckNote(std::string_view text) {
  if (IsBlank(text))
    return NoteProblem::Blank;
  if (HasControlCharacters(text))
    return NoteProblem::ControlCharacters;
  // Characters of valid UTF-8: every byte but the continuation bytes.
  const auto characters = std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  });
  if (static_cast<std::size_t>(characters) > kMaxNoteCharacters)
    return NoteProblem::TooLong;
  return NoteProblem::None;
}

std::string LotProblem(std::string_view lot) {
  if (lot.empty())
    return "";
  const std::string shown = EscapeControlCharacters(EscapeInvalidUtf8(lot));
  if (!IsValidUtf8(lot))
    return Fill({"批号不是有效的UTF-8文本：%1", "the lot is not valid UTF-8: %1"}, {shown});
  switch (CheckNote(lot)) {
    case NoteProblem::None:
      return "";
    case NoteProblem::Blank:
      return std::string(Pick({"批号不能只有空白", "the lot must not be only white space"}));
    case NoteProblem::ControlCharacters:
      return Fill({"批号不能含有控制字符：%1", "the lot must not hold control characters: %1"},
                  {shown});
    case NoteProblem::TooLong:
      break;
  }
  return Fill({"批号不能超过%1个字符", "the lot must not be longer than %1 characters"},
              {std::to_string(kMaxNoteCharacters)});
}

}  // namespace quillmark
