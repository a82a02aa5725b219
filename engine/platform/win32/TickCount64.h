// The 64-bit tick count of the i686 programs on systems without GetTickCount64 (Windows XP).
#pragma once

#include <cstdint>

namespace installer {

/// Extends the 32-bit millisecond count `now` to 64 bits: `last` holds the last result (its
/// high half the number of wrap-arounds seen); a count below the last one counts as a wrap.
/// A count below the last by less than half the range (24.8 days) is a reading that another
/// thread overtook, not a wrap. Safe to call from several threads with the same `last`, as
/// long as calls come at least every 24.8 days.
uint64_t ExtendTickCount(uint64_t& last, uint32_t now);

}  // namespace installer
