// The drive model's delays against the physics written out here on their own: the radius from
// the spiral's area, the rate taken as constant over a read (at its middle), the access from
// settle, seek and half a turn. The model integrates the rate exactly, so the two agree only
// where both are right.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "DriveModel.h"
#include "DriveOptions.h"

namespace {

using cddrive::DriveModel;
using cddrive::DriveParameters;
using cddrive::ReadKind;

constexpr double kPi = 3.14159265358979323846;
constexpr double kKiB = 1024;
constexpr double kMiB = 1024 * 1024;

// The disc as the Red Book draws it, with the default drive: 52x, 1.2 m/s, 1.6 um pitch.
double RadiusMm(double byteOffset) {
  double sectors = byteOffset / 2048;
  double spiralMetres = sectors * 1.2 / 75;                   // 75 sectors pass a second at 1x
  double areaMm2 = spiralMetres * 1000 * 1.6e-3;              // length times pitch, mm²
  return std::sqrt(25.0 * 25.0 + areaMm2 / kPi);
}
double BytesPerSecondAt(double radiusMm) { return 52 * 75 * 2048 * radiusMm / 58; }
double MsToRead(double bytes, double atByte) {
  return bytes / BytesPerSecondAt(RadiusMm(atByte + bytes / 2)) * 1000;
}
double HalfTurnMs() { return 0.5 * 2 * kPi * 58 / (52 * 1.2 * 1000) * 1000; }
double MsToAccess(double fromByte, double toByte) {
  return 42 + 105 * std::sqrt(std::abs(RadiusMm(toByte) - RadiusMm(fromByte)) / 33) + HalfTurnMs();
}
double MsToTransfer(double bytes) { return bytes / 33.3e6 * 1000; }
// The byte at a radius, from the spiral's area the other way round.
double ByteAtMm(double radiusMm) {
  double areaMm2 = kPi * (radiusMm * radiusMm - 25.0 * 25.0);
  return areaMm2 / 1.6e-3 / 1000 / 1.2 * 75 * 2048;
}

struct Step {
  double offset, length, idleMs;
};

TEST(DriveModelTest, DiscGeometryMatchesTheRedBook) {
  DriveModel model{DriveParameters{}};
  EXPECT_DOUBLE_EQ(model.RadiusAt(0) * 1000, 25.0);
  // A 74-minute disc at 1.2 m/s and 1.6 um fills the program area to its 58 mm edge.
  EXPECT_NEAR(model.RadiusAt(74 * 60 * 75 * 2048.0) * 1000, 57.8, 0.05);
  EXPECT_NEAR(model.RadiusAt(200 * kMiB) * 1000, RadiusMm(200 * kMiB), 1e-9);
  // 52x: 7,987,200 B/s at the edge, less than half of it at the program area's start.
  EXPECT_NEAR(model.RateAt(0.058), 7987200, 1e-6);
  EXPECT_NEAR(model.RateAt(0.025), 7987200 * 25.0 / 58, 1e-6);
  EXPECT_NEAR(model.RevolutionMs(), 5.84, 0.005);
  EXPECT_DOUBLE_EQ(model.CapacityBytes(), 80 * 60 * 75 * 2048.0);
}

// One measured read after a few that put the head and the buffer somewhere.
TEST(DriveModelTest, DelaysOfOneRead) {
  const double outer = 600 * kMiB;  // about 56.8 mm
  const double ahead10ms = 0.010 * BytesPerSecondAt(RadiusMm(64 * kKiB));
  const double stroke = ByteAtMm(58);
  struct Case {
    std::string name;
    std::vector<Step> before;
    Step read;
    ReadKind kind;
    double expectedMs;
  };
  const std::vector<Case> cases = {
      {"sequential at the inner edge", {{0, 64 * kKiB, 0}}, {64 * kKiB, 64 * kKiB, 0},
       ReadKind::Sequential, MsToRead(64 * kKiB, 64 * kKiB)},
      {"sequential at the outer edge", {{outer, 64 * kKiB, 0}}, {outer + 64 * kKiB, 64 * kKiB, 0},
       ReadKind::Sequential, MsToRead(64 * kKiB, outer + 64 * kKiB)},
      {"short forward gap read through", {{0, 64 * kKiB, 0}}, {96 * kKiB, 64 * kKiB, 0},
       ReadKind::Sequential, MsToRead(96 * kKiB, 64 * kKiB)},
      {"forward jump within the buffer after idling", {{0, 64 * kKiB, 0}},
       {576 * kKiB, 64 * kKiB, 1000}, ReadKind::BufferHit, MsToTransfer(64 * kKiB)},
      {"read-ahead part way there", {{0, 64 * kKiB, 0}}, {64 * kKiB, 64 * kKiB, 10},
       ReadKind::Sequential,
       MsToTransfer(ahead10ms) + MsToRead(64 * kKiB - ahead10ms, 64 * kKiB + ahead10ms)},
      {"backward into what was just read", {{0, 256 * kKiB, 0}}, {64 * kKiB, 64 * kKiB, 0},
       ReadKind::BufferHit, MsToTransfer(64 * kKiB)},
      {"forward gap longer than an access", {{0, 64 * kKiB, 0}}, {kMiB + 64 * kKiB, 64 * kKiB, 0},
       ReadKind::Access,
       MsToAccess(64 * kKiB, kMiB + 64 * kKiB) + MsToRead(64 * kKiB, kMiB + 64 * kKiB)},
      {"forward beyond the buffer", {{0, 64 * kKiB, 0}}, {3 * kMiB, 64 * kKiB, 1000},
       ReadKind::Access,
       MsToAccess(64 * kKiB + 2 * kMiB, 3 * kMiB) + MsToRead(64 * kKiB, 3 * kMiB)},
      {"short backward jump", {{100 * kMiB, 4 * kMiB, 0}}, {100 * kMiB, 64 * kKiB, 0},
       ReadKind::Access, MsToAccess(104 * kMiB, 100 * kMiB) + MsToRead(64 * kKiB, 100 * kMiB)},
      {"long backward jump", {{outer, 64 * kKiB, 0}}, {0, 64 * kKiB, 0}, ReadKind::Access,
       MsToAccess(outer + 64 * kKiB, 0) + MsToRead(64 * kKiB, 0)},
      {"full stroke", {{0, 2048, 0}}, {stroke, 2048, 0}, ReadKind::Access,
       MsToAccess(2048, stroke) + MsToRead(2048, stroke)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DriveModel model{DriveParameters{}};
    for (const Step& s : c.before) model.Read(s.offset, s.length, s.idleMs);
    cddrive::ReadCost cost = model.Read(c.read.offset, c.read.length, c.read.idleMs);
    EXPECT_EQ(cost.kind, c.kind);
    EXPECT_NEAR(cost.ms, c.expectedMs, c.expectedMs * 1e-4);
    EXPECT_NEAR(cost.ms, cost.accessMs + cost.mediaMs + cost.transferMs, 1e-9);
  }
}

// The figures a drive's data sheet gives, from the same model.
TEST(DriveModelTest, HeadlineFigures) {
  DriveModel model{DriveParameters{}};
  // A full stroke: settle, the whole seek, half a turn.
  EXPECT_NEAR(model.AccessMs(0, ByteAtMm(58)), 42 + 105 + 2.92, 0.01);
  // A jump to the next track still settles and waits for the sector.
  EXPECT_NEAR(model.AccessMs(0, 2048), 42 + 2.92, 1.5);
  // The outer edge reads at 52x, the inner at 25/58 of it: a megabyte takes 131 ms and 305 ms.
  DriveModel outer{DriveParameters{}}, inner{DriveParameters{}};
  outer.Read(static_cast<std::uint64_t>(ByteAtMm(57.99)), 2048);
  double outerMs = outer.Read(static_cast<std::uint64_t>(ByteAtMm(57.99)) + 2048, kMiB).ms;
  double innerMs = inner.Read(0, kMiB).ms;
  EXPECT_NEAR(outerMs, kMiB / 7987200.0 * 1000, 0.2);
  EXPECT_NEAR(innerMs, kMiB / (7987200.0 * 25 / 58) * 1000, 1.0);
}

// Drives of the 52x generation list 75 to 150 ms for a random access. The model's average
// over random pairs of sectors of a full disc, against the same average integrated over the
// disc's area here (sectors spread evenly over the area, not over the radius).
TEST(DriveModelTest, AverageRandomAccessIsThatOfARealDrive) {
  DriveModel model{DriveParameters{}};
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> sector(0, model.CapacityBytes());
  double sum = 0;
  const int pairs = 20000;
  for (int i = 0; i < pairs; ++i) sum += model.AccessMs(sector(random), sector(random));
  double average = sum / pairs;

  const double outerMm = RadiusMm(80 * 60 * 75 * 2048.0);
  const int n = 400;
  double integral = 0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double ri = std::sqrt(625 + (i + 0.5) / n * (outerMm * outerMm - 625));
      double rj = std::sqrt(625 + (j + 0.5) / n * (outerMm * outerMm - 625));
      integral += std::sqrt(std::abs(ri - rj) / 33);
    }
  }
  double expected = 42 + 105 * integral / (n * n) + HalfTurnMs();
  EXPECT_NEAR(average, expected, 1.0);
  EXPECT_GE(average, 75);
  EXPECT_LE(average, 150);
}

// Counts over whole sequences of reads: the files of a disc in their order, backwards, again.
TEST(DriveModelTest, RunsAccessesAndHits) {
  auto files = [](std::vector<int> order) {
    std::vector<Step> steps;
    for (int f : order) {
      for (int chunk = 0; chunk < 8; ++chunk)
        steps.push_back({f * kMiB + chunk * 128 * kKiB, 128 * kKiB, 0});
    }
    return steps;
  };
  struct Case {
    std::string name;
    std::vector<Step> reads;
    std::uint64_t accesses, runs, hits;
  };
  const std::vector<Case> cases = {
      {"ten files in disc order", files({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), 0, 1, 0},
      {"ten files backwards", files({9, 8, 7, 6, 5, 4, 3, 2, 1, 0}), 10, 10, 0},
      // File 0 is still in the buffer after file 1 (2 MiB): the second read of it is free.
      {"a file read again", files({0, 1, 0}), 0, 1, 8},
      {"every other file", files({0, 2, 4, 6, 8}), 4, 5, 0},
      {"the host pauses, the drive reads ahead",
       {{0, 64 * kKiB, 0}, {64 * kKiB, 64 * kKiB, 100}, {128 * kKiB, 64 * kKiB, 100}}, 0, 1, 2},
      {"one read far out", {{500 * kMiB, 2048, 0}}, 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DriveModel model{DriveParameters{}};
    double sum = 0, idle = 0, bytes = 0;
    for (const Step& s : c.reads) {
      sum += model.Read(s.offset, s.length, s.idleMs).ms;
      idle += s.idleMs;
      bytes += s.length;
    }
    const cddrive::DriveStats& stats = model.Stats();
    EXPECT_EQ(stats.reads, c.reads.size());
    EXPECT_EQ(stats.bytes, bytes);
    EXPECT_EQ(stats.accesses, c.accesses);
    EXPECT_EQ(stats.runs, c.runs);
    EXPECT_EQ(stats.bufferHits, c.hits);
    EXPECT_NEAR(stats.modelledMs, sum, 1e-6);
    EXPECT_NEAR(model.ClockMs(), sum + idle, 1e-6);
  }
}

// The read-ahead stops when the buffer is full and where the disc ends; a gap is read through
// only as far as the buffer reaches.
TEST(DriveModelTest, ReadAheadAndReadThroughStopAtTheBufferAndTheDiscEnd) {
  DriveParameters small;
  small.bufferBytes = 256 * kKiB;
  DriveModel model{small};
  model.Read(0, 64 * kKiB);
  model.Read(64 * kKiB, 2048, 10000);
  EXPECT_DOUBLE_EQ(model.HeadBytes(), 64 * kKiB + 256 * kKiB);
  // Beyond the window that idling filled, the read continues from the disc.
  EXPECT_EQ(model.Read(320 * kKiB, 64 * kKiB).kind, ReadKind::Sequential);

  // After a jump back the read-ahead reaches a buffer beyond the new place, not the old one.
  DriveModel back{DriveParameters{}};
  back.Read(10 * kMiB, 64 * kKiB);
  back.Read(0, 64 * kKiB);
  EXPECT_EQ(back.Read(64 * kKiB, 2048, 10000).kind, ReadKind::BufferHit);
  EXPECT_DOUBLE_EQ(back.HeadBytes(), 64 * kKiB + 2 * kMiB);

  // A gap quicker to read through than to jump, but beyond what a 64 KiB buffer reaches.
  DriveParameters tiny;
  tiny.bufferBytes = 64 * kKiB;
  DriveModel reach{tiny};
  reach.Read(0, 64 * kKiB);
  EXPECT_EQ(reach.Read(150 * kKiB, 2048).kind, ReadKind::Access);

  DriveModel end{DriveParameters{}, 100 * kKiB};
  end.Read(0, 64 * kKiB);
  end.Read(0, 2048, 10000);
  EXPECT_DOUBLE_EQ(end.HeadBytes(), 100 * kKiB);
}

TEST(DriveOptionsTest, DriveKeysAndFuseOptions) {
  struct Case {
    std::string list;
    std::function<bool(const DriveParameters&)> holds;
    std::vector<std::string> passThrough;
    bool error;
  };
  const std::vector<Case> cases = {
      {"", [](const DriveParameters& p) { return p.speed == 52 && p.bufferBytes == 2 * kMiB; }, {},
       false},
      {"speed=48,buffer=512K",
       [](const DriveParameters& p) { return p.speed == 48 && p.bufferBytes == 512 * kKiB; }, {},
       false},
      {"allow_other,iface=66.7,settle=0,buffer=2M",
       [](const DriveParameters& p) {
         return p.ifaceBytesPerSecond == 66.7e6 && p.settleMs == 0 && p.bufferBytes == 2 * kMiB;
       },
       {"allow_other"}, false},
      {"seek=80,v1=1.3,minutes=74,max_read=131072",
       [](const DriveParameters& p) { return p.seekMs == 80 && p.v1 == 1.3 && p.minutes == 74; },
       {"max_read=131072"}, false},
      {"speed=fast", nullptr, {}, true},
      {"buffer=2G", nullptr, {}, true},
      {"seek=", nullptr, {}, true},
      {"settle", nullptr, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    DriveParameters p;
    std::vector<std::string> rest;
    std::string error = cddrive::TakeDriveOptions(c.list, p, rest);
    EXPECT_EQ(!error.empty(), c.error) << error;
    if (c.error) continue;
    EXPECT_TRUE(c.holds(p));
    EXPECT_EQ(rest, c.passThrough);
  }
}

TEST(DriveOptionsTest, ParametersAndImageSize) {
  auto with = [](auto change) {
    DriveParameters p;
    change(p);
    return p;
  };
  const double cd80 = 80 * 60 * 75 * 2048.0;
  EXPECT_EQ(cddrive::CheckDriveParameters(DriveParameters{}, cd80), "");
  EXPECT_NE(cddrive::CheckDriveParameters(DriveParameters{}, cd80 + 1), "");
  EXPECT_NE(cddrive::CheckDriveParameters(with([](auto& p) { p.minutes = 74; }), 700 * kMiB), "");
  EXPECT_NE(cddrive::CheckDriveParameters(with([](auto& p) { p.speed = 0; }), 0), "");
  EXPECT_NE(cddrive::CheckDriveParameters(with([](auto& p) { p.ifaceBytesPerSecond = 0; }), 0), "");
  EXPECT_NE(cddrive::CheckDriveParameters(with([](auto& p) { p.settleMs = -1; }), 0), "");
}

}  // namespace
