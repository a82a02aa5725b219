// The drive's arithmetic; see DriveModel.h and README.md.
#include "DriveModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cddrive {

DriveModel::DriveModel(const DriveParameters& parameters, double discBytes)
    : p_(parameters), discBytes_(discBytes) {
  // The spiral's area up to sector s is s sectors of v1/75 m each times the pitch:
  // pi (r² - r0²) = s v1/75 p.
  k_ = p_.v1 / kSectorsPerSecond1x * kTrackPitch / std::numbers::pi / kSectorBytes;
  ratePerM_ = p_.speed * kBytesPerSecond1x / kOuterRadius;
}

double DriveModel::RadiusAt(double byteOffset) const {
  return std::sqrt(kInnerRadius * kInnerRadius + byteOffset * k_);
}

double DriveModel::RateAt(double radius) const { return ratePerM_ * radius; }

double DriveModel::RevolutionMs() const {
  // The angular velocity gives speed x v1 at the outer edge.
  return 2 * std::numbers::pi * kOuterRadius / (p_.speed * p_.v1) * 1000;
}

double DriveModel::MediaMs(double from, double to) const {
  if (to <= from) return 0;
  // dt = ds / (c r) and r dr = k/2 ds, so the time is linear in the radius covered.
  return 2 * (RadiusAt(to) - RadiusAt(from)) / (ratePerM_ * k_) * 1000;
}

double DriveModel::ReadOn(double from, double ms) const {
  double r = RadiusAt(from) + ms / 1000 * ratePerM_ * k_ / 2;
  return (r * r - kInnerRadius * kInnerRadius) / k_;
}

double DriveModel::AccessMs(double from, double to) const {
  double stroke = std::abs(RadiusAt(to) - RadiusAt(from)) / (kOuterRadius - kInnerRadius);
  return p_.settleMs + p_.seekMs * std::sqrt(stroke) + RevolutionMs() / 2;
}

double DriveModel::CapacityBytes() const {
  return p_.minutes * 60 * kSectorsPerSecond1x * kSectorBytes;
}

ReadCost DriveModel::Read(std::uint64_t offset, std::uint64_t length, double idleMs) {
  ReadCost cost;
  if (length == 0) return cost;
  double begin = static_cast<double>(offset);
  double end = begin + static_cast<double>(length);
  double buffer = p_.bufferBytes;

  // While the host was busy elsewhere the drive read on, until its buffer held bufferBytes
  // beyond the furthest byte asked for (or the disc ended).
  if (idleMs > 0) {
    double limit = std::min(requestEnd_ + buffer, discBytes_);
    if (head_ < limit) head_ = std::min(limit, ReadOn(head_, idleMs));
    windowStart_ = std::max(windowStart_, head_ - buffer);
    clockMs_ += idleMs;
  }

  bool inWindow = begin >= windowStart_ && begin <= head_;
  // A gap ahead of the head is read through when that is quicker than an access and the
  // buffer reaches that far; anything else is a jump.
  bool readThrough = begin > head_ && begin <= requestEnd_ + buffer &&
                     MediaMs(head_, begin) <= AccessMs(head_, begin);
  if (inWindow && end <= head_) {
    cost.kind = ReadKind::BufferHit;
    cost.transferMs = (end - begin) / p_.ifaceBytesPerSecond * 1000;
  } else if (inWindow || readThrough) {
    cost.kind = ReadKind::Sequential;
    if (inWindow) cost.transferMs = (head_ - begin) / p_.ifaceBytesPerSecond * 1000;
    cost.mediaMs = MediaMs(head_, end);
    head_ = end;
  } else {
    cost.kind = ReadKind::Access;
    cost.accessMs = AccessMs(head_, begin);
    cost.mediaMs = MediaMs(begin, end);
    head_ = end;
    windowStart_ = begin;  // a jump starts the buffer afresh
  }
  windowStart_ = std::max(windowStart_, head_ - buffer);
  requestEnd_ = std::max(requestEnd_, end);
  if (cost.kind == ReadKind::Access) requestEnd_ = end;
  cost.ms = cost.accessMs + cost.mediaMs + cost.transferMs;
  clockMs_ += cost.ms;

  if (stats_.reads == 0 || cost.kind == ReadKind::Access) ++stats_.runs;
  ++stats_.reads;
  stats_.bytes += length;
  if (cost.kind == ReadKind::Access) ++stats_.accesses;
  if (cost.kind == ReadKind::BufferHit) ++stats_.bufferHits;
  stats_.modelledMs += cost.ms;
  stats_.accessMs += cost.accessMs;
  return cost;
}

}  // namespace cddrive
