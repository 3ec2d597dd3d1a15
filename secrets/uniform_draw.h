#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "secret_result.h"
#include "secret_source.h"

namespace quillmark::secrets {

// count values, each uniform over 0 … bound - 1 (bound ≥ 1), from as few
// whole bytes as hold bound - 1, read big end first. A value of those
// bytes at or above the largest multiple of bound they can hold is thrown
// away and drawn again: taking it modulo bound would make the lower values
// more likely (a byte modulo 62 gives 0 … 7 five times in 256, the rest
// four). Values come in order; the source is asked for exactly the bytes
// still needed.
SecretResult<std::vector<std::uint32_t>> DrawUniform(SecretSource& source, std::uint32_t bound,
                                                     std::size_t count);

// length characters, each uniform over the alphabet's (all distinct).
SecretResult<std::string> DrawText(SecretSource& source, std::string_view alphabet,
                                   std::size_t length);

}  // namespace quillmark::secrets
