#include "failure_count.h"

#include "dialog_texts.h"
#include "status_texts.h"

namespace quillmark {

std::string FailureCountText(int failed, int deviceCount, InterfaceLanguage language) {
  return dialog_text::kFailureCount.FillIn(language,
                                           {std::to_string(failed), std::to_string(deviceCount)});
}

FailureCountShown FailureCountFor(int deviceCount, int written, int attempted,
                                  std::optional<int> notReached, InterfaceLanguage language) {
  const int failed = attempted + notReached.value_or(0);
  if (failed <= 0)
    return {};
  FailureCountShown shown;
  shown.text = FailureCountText(failed, deviceCount, language);
  shown.tip = dialog_text::kFailureTip.FillIn(
      language, {std::to_string(deviceCount), std::to_string(failed)});
  if (notReached)
    shown.tip += dialog_text::kFailureTipDetail.FillIn(
        language, {RunEndCountText(written, attempted, *notReached)});
  return shown;
}

}  // namespace quillmark
