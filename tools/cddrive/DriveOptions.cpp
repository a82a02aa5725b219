// The -o list's drive keys and the stats file's text.
#include "DriveOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace cddrive {
namespace {

bool ParseNumber(std::string_view text, double& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

// "2M", "512K", "65536".
bool ParseBytes(std::string_view text, double& value) {
  double unit = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = 1024;
  if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024;
  if (unit != 1) text.remove_suffix(1);
  if (!ParseNumber(text, value)) return false;
  value *= unit;
  return true;
}

}  // namespace

std::string TakeDriveOptions(std::string_view list, DriveParameters& parameters,
                             std::vector<std::string>& passThrough) {
  while (!list.empty()) {
    std::size_t comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (item.empty()) continue;
    std::size_t eq = item.find('=');
    std::string_view key = item.substr(0, eq);
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
    double* target = nullptr;
    if (key == "speed") target = &parameters.speed;
    else if (key == "settle") target = &parameters.settleMs;
    else if (key == "seek") target = &parameters.seekMs;
    else if (key == "v1") target = &parameters.v1;
    else if (key == "minutes") target = &parameters.minutes;
    else if (key == "iface") target = &parameters.ifaceBytesPerSecond;
    else if (key == "buffer") target = &parameters.bufferBytes;
    if (!target) {
      passThrough.emplace_back(item);
      continue;
    }
    bool ok = key == "buffer" ? ParseBytes(value, *target) : ParseNumber(value, *target);
    if (!ok) return "bad value for " + std::string(key) + ": '" + std::string(value) + "'";
    if (key == "iface") *target *= 1e6;
  }
  return "";
}

std::string CheckDriveParameters(const DriveParameters& p, double imageBytes) {
  if (!(p.speed > 0)) return "speed must be more than 0";
  if (!(p.v1 > 0)) return "v1 must be more than 0";
  if (!(p.ifaceBytesPerSecond > 0)) return "iface must be more than 0";
  if (!(p.minutes > 0)) return "minutes must be more than 0";
  if (p.settleMs < 0 || p.seekMs < 0) return "settle and seek cannot be negative";
  if (p.bufferBytes < 0) return "buffer cannot be negative";
  DriveModel model(p);
  if (imageBytes > model.CapacityBytes()) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "the image (%.0f bytes) does not fit on a %g-minute disc (%.0f bytes)", imageBytes,
                  p.minutes, model.CapacityBytes());
    return text;
  }
  return "";
}

std::string FormatStats(const DriveModel& model) {
  const DriveStats& s = model.Stats();
  using Count = unsigned long long;
  char text[512];
  std::snprintf(text, sizeof text,
                "reads %llu\nbytes %llu\naccesses %llu\nruns %llu\nbuffer_hits %llu\n"
                "modelled_ms %.3f\naccess_ms %.3f\nposition %.0f\nradius_mm %.3f\n",
                Count{s.reads}, Count{s.bytes}, Count{s.accesses}, Count{s.runs},
                Count{s.bufferHits}, s.modelledMs, s.accessMs, model.HeadBytes(),
                model.RadiusAt(model.HeadBytes()) * 1000);
  return text;
}

}  // namespace cddrive
