#include "memory_reuse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quillmark::cli {

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  constexpr int kKeep = 64 << 20;
  mallopt(M_TRIM_THRESHOLD, kKeep);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
}

}  // namespace quillmark::cli
