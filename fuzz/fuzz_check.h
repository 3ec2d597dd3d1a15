#pragma once

#include <cstdio>
#include <cstdlib>

namespace quillmark::fuzz {

// A broken property is a finding: say which one and abort, so libFuzzer
// keeps the input as a crash artifact.
inline void Require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
  }
}

}  // namespace quillmark::fuzz
