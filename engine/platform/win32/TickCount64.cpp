// GetTickCount64 for the i686 programs, which start on Windows XP.
// The statically linked threading library (mingw-w64's winpthreads) calls KERNEL32!GetTickCount64
// through its import pointer to time its timed waits. Windows XP has no such function, and its
// loader refuses to start a program that imports it. This file defines that import pointer
// itself, so the linker takes no import of the function from kernel32: the pointer leads to a
// function that calls the system's GetTickCount64 where there is one (looked up by name, as
// every newer function is) and on Windows XP extends GetTickCount's 32-bit count to 64 bits.
#include "engine/platform/win32/TickCount64.h"

#include "engine/platform/win32/WindowsApi.h"

namespace installer {

uint64_t ExtendTickCount(uint64_t& last, uint32_t now) {
  // The high half counts the wrap-arounds of the 32-bit count seen so far (one every 49.7
  // days). A wrap shows as a jump back by more than half the range (24.8 days); a jump back by
  // less is a count read before another thread stored a later one, and no wrap.
  for (;;) {
    const uint64_t seen = __atomic_load_n(&last, __ATOMIC_ACQUIRE);
    const uint32_t seenLow = static_cast<uint32_t>(seen);
    uint64_t wraps = seen >> 32;
    if (now < seenLow) {
      if (seenLow - now < 0x80000000u) return (wraps << 32) | now;  // an older reading
      ++wraps;
    } else if (now - seenLow >= 0x80000000u && wraps > 0) {
      return ((wraps - 1) << 32) | now;  // read before the last wrap was stored
    }
    const uint64_t next = (wraps << 32) | now;
    if (next == seen) return next;
    uint64_t expected = seen;
    if (__atomic_compare_exchange_n(&last, &expected, next, false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE)) {
      return next;
    }
  }
}

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

uint64_t lastTickCount = 0;

ULONGLONG WINAPI TickCountFromGetTickCount() { return ExtendTickCount(lastTickCount, GetTickCount()); }

// Looked up once; several threads may race to store the same pointer, which is harmless. No
// function-local static: its guard would take a lock of the very threading library that calls.
TickCount64Fn systemTickCount64 = nullptr;

ULONGLONG WINAPI TickCount64() {
  TickCount64Fn function = __atomic_load_n(&systemTickCount64, __ATOMIC_ACQUIRE);
  if (function == nullptr) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel != nullptr ? ::GetProcAddress(kernel, "GetTickCount64") : nullptr;
    function = found != nullptr
                   ? reinterpret_cast<TickCount64Fn>(reinterpret_cast<void (*)()>(found))
                   : &TickCountFromGetTickCount;
    __atomic_store_n(&systemTickCount64, function, __ATOMIC_RELEASE);
  }
  return function();
}

}  // namespace
}  // namespace installer

#if defined(__i386__)
// The import pointer's own name (stdcall decoration included); winpthreads refers to it.
extern "C" {
ULONGLONG(WINAPI* installer_GetTickCount64Import)() __asm__("__imp__GetTickCount64@0") =
    &installer::TickCount64;
}
#endif
