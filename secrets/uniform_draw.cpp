#include "uniform_draw.h"

#include "interface_text.h"

namespace quillmark::secrets {
namespace {

// A source that gives values out of range this many times in a row for
// one position is broken: a working one does so with chance below 2^-64.
constexpr int kMostRounds = 64;

}  // namespace

SecretResult<std::vector<std::uint32_t>> DrawUniform(SecretSource& source, std::uint32_t bound,
                                                     std::size_t count) {
  std::size_t width = 1;
  while (width < 4 && (bound - 1) >> (8 * width) != 0)
    ++width;
  const std::uint64_t span = std::uint64_t{1} << (8 * width);
  const std::uint64_t limit = span - span % bound;
  std::vector<std::uint32_t> values;
  values.reserve(count);
  std::vector<std::uint8_t> bytes;
  for (int round = 0; values.size() < count; ++round) {
    if (round == kMostRounds)
      return SecretResult<std::vector<std::uint32_t>>::Failed(
          std::string(Pick({"随机数来源反复给出超出范围的值，已停止",
                            "The random source keeps giving values out of range; stopped"})));
    bytes.assign((count - values.size()) * width, 0);
    if (std::string why = source.Read(bytes); !why.empty())
      return SecretResult<std::vector<std::uint32_t>>::Failed(std::move(why));
    for (std::size_t at = 0; at < bytes.size(); at += width) {
      std::uint64_t value = 0;
      for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | bytes[at + i];
      if (value < limit)
        values.push_back(static_cast<std::uint32_t>(value % bound));
    }
  }
  return SecretResult<std::vector<std::uint32_t>>::Of(std::move(values));
}

SecretResult<std::string> DrawText(SecretSource& source, std::string_view alphabet,
                                   std::size_t length) {
  auto drawn = DrawUniform(source, static_cast<std::uint32_t>(alphabet.size()), length);
  if (!drawn.ok())
    return SecretResult<std::string>::Failed(std::move(drawn.error));
  std::string text;
  text.reserve(length);
  for (const std::uint32_t index : *drawn.value)
    text += alphabet[index];
  return SecretResult<std::string>::Of(std::move(text));
}

}  // namespace quillmark::secrets
