// Array new and delete for the image fuzzer. Under AddressSanitizer every
// fresh 4-16 MiB buffer costs milliseconds of mapping and shadow set-up,
// which would hold the target to about a thousand executions a second.
// Instead one block per image size is allocated once with malloc and
// handed out again whenever it is free; its ends keep their redzones, so
// a read outside the image is still caught. Everything else goes straight
// to malloc and free, consistently for every array form.
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

struct KeptBlock {
  std::size_t size;
  void* memory = nullptr;
  bool inUse = false;
};

// The harness's allocator state; it lives as long as the process, like
// the heap it stands in for.
KeptBlock g_keptBlocks[] = {{0x400000}, {0x800000}, {0x1000000}};

void* Allocate(std::size_t size) noexcept {
  for (KeptBlock& block : g_keptBlocks) {
    if (block.size != size || block.inUse)
      continue;
    if (block.memory == nullptr)
      block.memory = std::malloc(size);
    block.inUse = block.memory != nullptr;
    return block.memory;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void Release(void* memory) noexcept {
  for (KeptBlock& block : g_keptBlocks) {
    if (memory != nullptr && block.memory == memory) {
      block.inUse = false;
      return;
    }
  }
  std::free(memory);
}

}  // namespace

void* operator new[](std::size_t size) {
  void* memory = Allocate(size);
  if (memory == nullptr)
    std::abort();  // the harness has no use for bad_alloc
  return memory;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete[](void* memory) noexcept {
  Release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  Release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  Release(memory);
}
