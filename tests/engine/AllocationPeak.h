// The peak of the heap bytes the calling thread holds while a measurement runs, taken from
// the sanitizer allocator's malloc and free hooks. Only builds with AddressSanitizer have
// them (native-asan, fuzz); elsewhere INSTALLER_HAVE_ALLOCATION_PEAK is 0.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define INSTALLER_HAVE_ALLOCATION_PEAK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define INSTALLER_HAVE_ALLOCATION_PEAK 1
#endif
#endif
#ifndef INSTALLER_HAVE_ALLOCATION_PEAK
#define INSTALLER_HAVE_ALLOCATION_PEAK 0
#endif

#if INSTALLER_HAVE_ALLOCATION_PEAK
#include <algorithm>
#include <cstddef>
#include <cstdint>

// The sanitizer runtime's allocator interface (GCC ships the functions but not their header).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace installer::testing {

/// Counts from construction until Stop() (or destruction). Allocations are counted at their
/// requested size; releases of blocks allocated before the start count too, so the figure
/// is the net growth of the thread's heap, never more. Other threads are not counted.
class AllocationPeak {
 public:
  AllocationPeak() {
    static const bool installed = (__sanitizer_install_malloc_and_free_hooks(OnAllocate,
                                                                             OnRelease) != 0);
    (void)installed;
    live_ = peak_ = 0;
    measuring_ = true;
  }
  ~AllocationPeak() { measuring_ = false; }
  AllocationPeak(const AllocationPeak&) = delete;
  AllocationPeak& operator=(const AllocationPeak&) = delete;

  /// Ends the measurement; the highest net number of bytes held since the start.
  int64_t Stop() {
    measuring_ = false;
    return peak_;
  }

 private:
  static void OnAllocate(const volatile void*, size_t size) {
    if (!measuring_) return;
    live_ += static_cast<int64_t>(size);
    peak_ = std::max(peak_, live_);
  }
  static void OnRelease(const volatile void* pointer) {
    if (!measuring_ || pointer == nullptr) return;
    live_ -= static_cast<int64_t>(__sanitizer_get_allocated_size(pointer));
  }

  static inline thread_local bool measuring_ = false;
  static inline thread_local int64_t live_ = 0;
  static inline thread_local int64_t peak_ = 0;
};

}  // namespace installer::testing
#endif
