// Sanitizer builds count through the sanitizer allocator's hooks (its malloc
// cannot be replaced); other builds replace the C allocation functions and
// forward them to the C library's own, which operator new also ends in.
#include "allocation_counter.h"

#include <atomic>
#include <memory>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVO_BENCH_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KELVO_BENCH_ASAN 1
#endif

namespace {
std::atomic<size_t> g_allocations{0};

void Count() {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#if defined(KELVO_BENCH_ASAN)

// Part of every sanitizer runtime; not every compiler ships its header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void *,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void *));

namespace {
void OnMalloc(const volatile void *, size_t) {
  Count();
}
void OnFree(const volatile void *) {}

const int g_hooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
}  // namespace

#else

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_memalign(size_t alignment, size_t size);

void *malloc(size_t size) noexcept {
  Count();
  return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) noexcept {
  Count();
  return __libc_calloc(count, size);
}

void *realloc(void *pointer, size_t size) noexcept {
  Count();
  return __libc_realloc(pointer, size);
}

void *aligned_alloc(size_t alignment, size_t size) noexcept {
  Count();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void **result, size_t alignment, size_t size) noexcept {
  if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0) {
    return 22;  // EINVAL
  }
  Count();
  *result = __libc_memalign(alignment, size);
  return *result == nullptr ? 12 : 0;  // ENOMEM
}
}  // extern "C"

#endif

namespace kelvo_bench {

size_t AllocationCount() {
  return g_allocations.load(std::memory_order_relaxed);
}

bool AllocationCounterWorks() {
  const size_t before = AllocationCount();
  auto probe = std::make_unique<volatile int>(1);
  return AllocationCount() > before && *probe == 1;
}

}  // namespace kelvo_bench
