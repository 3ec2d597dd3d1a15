// Any bytes as a count text: the decimal reading agrees with a reference
// that works on the digit string rather than on a running number, and a
// request carrying the text as either count is judged by that value.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "job_acceptance.h"
#include "text_scan.h"
#include "window_files.h"

namespace quillmark::fuzz {
namespace {

// Leading white space, one optional sign, then the digits up to the first
// non-digit. Past leading zeros, more than ten digits or a magnitude past
// the sign's 32-bit limit is out of range; no digits at all reads as 0.
std::optional<std::int64_t> ReferenceRead(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
  if (start == std::string_view::npos)
    return 0;
  text.remove_prefix(start);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::string_view digits = text.substr(0, text.find_first_not_of("0123456789"));
  digits.remove_prefix(std::min(digits.size(), digits.find_first_not_of('0')));
  if (digits.size() > 10)
    return std::nullopt;
  std::int64_t magnitude = 0;
  for (char digit : digits)
    magnitude = magnitude * 10 + (digit - '0');
  if (magnitude > (negative ? 2147483648LL : 2147483647LL))
    return std::nullopt;
  return negative ? -magnitude : magnitude;
}

// The verdict of a request whose only fault can be the given counts: the
// image does not exist, so counts in range end at the image step.
std::string VerdictFor(const std::string& deviceCount, const std::string& macsPerDevice) {
  WindowFiles files;
  GenerationJob job;
  const JobRequestTexts texts{
      "04:57:55:00:00:00",           deviceCount, macsPerDevice, WindowFiles::kImagePath,
      WindowFiles::kOutputDirectory, ""};
  const JobVerdict verdict = AcceptJobRequest(job, texts, files);
  Require(!verdict.accepted && verdict.style == MessageStyle::Plain,
          "a request without an image is refused in the plain style");
  Require(files.openFiles == 0 && files.allocations == 0, "nothing opened or allocated");
  return verdict.message;
}

bool InRange(const std::optional<std::int64_t>& value, std::int64_t low, std::int64_t high) {
  return value && *value >= low && *value <= high;
}

}  // namespace
}  // namespace quillmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  using fuzz::Require;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::optional<std::int32_t> value = ReadDecimalInt32(text);
  const std::optional<std::int64_t> expected = fuzz::ReferenceRead(text);
  Require(value.has_value() == expected.has_value(), "out of range exactly past 32 bits");
  Require(!value || *value == *expected, "the value the digits spell");

  const std::string deviceVerdict = fuzz::VerdictFor(text, "1");
  Require(deviceVerdict ==
              (fuzz::InRange(expected, 1, 65535) ? "读取文件错误！" : "生成数量输入错误！"),
          "the device count is judged by the value read");
  const std::string macsVerdict = fuzz::VerdictFor("1", text);
  Require(
      macsVerdict == (fuzz::InRange(expected, 1, 4) ? "读取文件错误！" : "每设备分配MAC数量错误！"),
      "the addresses per device are judged by the value read");
  return 0;
}
