// The i686 programs' own GetTickCount64 (Windows XP has none): the 32-bit count extended to 64
// bits across its wrap-around, and winpthreads reaching it through the import it refers to.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"

#include <cstdint>
#include <vector>

#include "engine/platform/win32/TickCount64.h"

namespace installer {
namespace {

struct TickCase {
  const char* what;
  std::vector<uint32_t> counts;    // successive GetTickCount results
  std::vector<uint64_t> expected;  // the 64-bit counts made of them
};

constexpr uint64_t kWrap = uint64_t{1} << 32;

TEST(ExtendTickCountTest, CountsOnAcrossWrapArounds) {
  const TickCase cases[] = {
      {"steady count", {0, 10, 5000}, {0, 10, 5000}},
      {"one wrap", {0xFFFFFF00u, 0xFFFFFFFFu, 0, 100},
       {0xFFFFFF00u, 0xFFFFFFFFu, kWrap, kWrap + 100}},
      {"two wraps", {0xF0000000u, 5, 0x70000000u, 0xE0000000u, 7},
       {0xF0000000u, kWrap + 5, kWrap + 0x70000000u, kWrap + 0xE0000000u, 2 * kWrap + 7}},
      {"same count again", {42, 42, 42}, {42, 42, 42}},
  };
  for (const TickCase& c : cases) {
    uint64_t last = 0;
    std::vector<uint64_t> got;
    for (uint32_t count : c.counts) got.push_back(ExtendTickCount(last, count));
    EXPECT_EQ(got, c.expected) << c.what;
  }
}

// regression: a thread that read the count just before another stored a later one counted a
// wrap-around that never happened, and every later count was 49.7 days ahead.
TEST(ExtendTickCountTest, AnOlderReadingIsNoWrapAround) {
  uint64_t last = 0;
  EXPECT_EQ(ExtendTickCount(last, 1200), 1200u);
  EXPECT_EQ(ExtendTickCount(last, 1100), 1100u);  // read before 1200 was stored
  EXPECT_EQ(last, 1200u);
  EXPECT_EQ(ExtendTickCount(last, 1300), 1300u);
  // After a wrap the same holds on the new round.
  last = kWrap + 50;
  EXPECT_EQ(ExtendTickCount(last, 0xFFFFFFF0u), 0xFFFFFFF0u) << "read before the wrap";
  EXPECT_EQ(ExtendTickCount(last, 60), kWrap + 60);
}

}  // namespace
}  // namespace installer

// The import pointer the threading library calls through (defined in TickCount64.cpp).
extern "C" ULONGLONG(WINAPI* installer_GetTickCount64Import)() __asm__("__imp__GetTickCount64@0");

namespace installer {
namespace {

// The program's GetTickCount64 import is the own one, so the XP loader finds nothing missing;
// on a system that has the function it answers as the system does.
TEST(ExtendTickCountTest, TheImportLeadsToTheSystemCountWhereThereIsOne) {
  ASSERT_NE(installer_GetTickCount64Import, nullptr);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(::GetProcAddress(kernel, "GetTickCount64"), nullptr) << "Wine has GetTickCount64";
  const ULONGLONG before = GetTickCount();
  const ULONGLONG own = installer_GetTickCount64Import();
  const ULONGLONG after = GetTickCount();
  // Wine's counts start near zero at each server start: no wrap between the three reads.
  EXPECT_LE(before, own);
  EXPECT_LE(own, after + 1);
}

}  // namespace
}  // namespace installer
