// The timing of a CAV CD-ROM drive reading a disc image: where a byte lies on the spiral, how
// fast the drive reads there, what a jump of the head costs and what its read-ahead buffer
// saves. Pure arithmetic on a model clock; cddrive sleeps what it computes. README.md beside
// this file gives every parameter's physical source.
#pragma once

#include <cstdint>
#include <limits>

namespace cddrive {

/// User data bytes of one sector (mode 1); the disc's 1x rate is 75 of them a second.
inline constexpr double kSectorBytes = 2048;
inline constexpr double kSectorsPerSecond1x = 75;
inline constexpr double kBytesPerSecond1x = kSectorBytes * kSectorsPerSecond1x;  // 153,600
/// Radius of the program area's start and the disc's outer edge (the data's last track), m.
inline constexpr double kInnerRadius = 0.025;
inline constexpr double kOuterRadius = 0.058;
/// Distance between two turns of the spiral, m.
inline constexpr double kTrackPitch = 1.6e-6;

struct DriveParameters {
  double speed = 52;             ///< the "x" on the box: the rate at the outer edge in 1x units
  double settleMs = 42;          ///< every access: the sled stops, focus and tracking lock
  double seekMs = 105;           ///< sled travel over the whole program area (scaled by sqrt)
  double v1 = 1.2;               ///< the 1x linear velocity, m/s
  double bufferBytes = 2 * 1024 * 1024;  ///< read-ahead buffer
  double ifaceBytesPerSecond = 33.3e6;   ///< the bus: UDMA/33
  double minutes = 80;           ///< the disc's capacity: its outer extent
};

enum class ReadKind {
  Sequential,  ///< continues where the head is (the rest of the buffer, then the disc)
  BufferHit,   ///< served from the buffer alone, at the interface's rate
  Access,      ///< the head moved: settle, seek and rotational latency first
};

/// What one read cost and why. ms is the sum of the three parts.
struct ReadCost {
  ReadKind kind = ReadKind::Sequential;
  double ms = 0;
  double accessMs = 0;    ///< settle + seek + latency, only for an access
  double mediaMs = 0;     ///< bytes read off the disc at its rate there (a gap read through too)
  double transferMs = 0;  ///< bytes already in the buffer sent at the interface's rate
};

struct DriveStats {
  std::uint64_t reads = 0;
  std::uint64_t bytes = 0;
  std::uint64_t accesses = 0;   ///< jumps of the head
  std::uint64_t runs = 0;       ///< stretches read without a jump: the first read and each access
  std::uint64_t bufferHits = 0;
  double modelledMs = 0;        ///< the sum of every read's cost
  double accessMs = 0;          ///< the part of it spent on accesses
};

class DriveModel {
 public:
  /// discBytes: the image's size; the read-ahead stops there.
  explicit DriveModel(const DriveParameters& parameters,
                      double discBytes = std::numeric_limits<double>::infinity());

  const DriveParameters& Parameters() const { return p_; }

  /// Radius (m) of the byte at offset on the spiral.
  double RadiusAt(double byteOffset) const;
  /// Bytes a second the drive reads at radius r (m): CAV, so proportional to the radius.
  double RateAt(double radius) const;
  /// One turn of the disc (ms): the same everywhere on a CAV drive.
  double RevolutionMs() const;
  /// Reading the bytes [from, to) off the disc without a jump (ms).
  double MediaMs(double from, double to) const;
  /// Moving the head from the byte at one offset to another's: settle, seek and on average
  /// half a revolution of waiting for the sector to come round (ms).
  double AccessMs(double from, double to) const;
  /// The bytes of a full disc of Parameters().minutes.
  double CapacityBytes() const;

  /// The drive serves a read of length bytes at offset; it was idle for idleMs before the
  /// request came (its read-ahead went on meanwhile). Advances the clock and the statistics.
  ReadCost Read(std::uint64_t offset, std::uint64_t length, double idleMs = 0);

  const DriveStats& Stats() const { return stats_; }
  /// Model time: idle time plus every read's cost, ms since the drive started.
  double ClockMs() const { return clockMs_; }
  /// How far the head has read (the end of the buffered window), bytes.
  double HeadBytes() const { return head_; }

 private:
  /// Where the head is after reading on from byte `from` for ms milliseconds.
  double ReadOn(double from, double ms) const;

  DriveParameters p_;
  double discBytes_;
  double k_;          ///< r² grows by this much per byte (m²)
  double ratePerM_;   ///< the rate per metre of radius (B/s/m)
  double head_ = 0;            ///< the disc has been read up to here
  double windowStart_ = 0;     ///< the buffer holds [windowStart_, head_)
  double requestEnd_ = 0;      ///< the furthest byte the host has asked for; read-ahead reaches
                               ///< bufferBytes beyond it
  double clockMs_ = 0;
  DriveStats stats_;
};

}  // namespace cddrive
