#include "ui/progress_texts.h"

#include <cstdio>

#include "res/messages.h"

namespace tamarisk {

void DescribeCopyProgress(std::uint64_t done, std::uint64_t total, uint32 elapsedMs, char* amount,
                          char* left, std::size_t capacity) {
  const bool gigabytes = total >= 1000000000u;
  const std::uint64_t tenth = gigabytes ? 100000000u : 100000u;  // of the unit
  const std::uint64_t doneTenths = done / tenth;
  const std::uint64_t totalTenths = total / tenth;
  std::snprintf(amount, capacity, "%u.%u / %u.%u %s", static_cast<unsigned>(doneTenths / 10),
                static_cast<unsigned>(doneTenths % 10), static_cast<unsigned>(totalTenths / 10),
                static_cast<unsigned>(totalTenths % 10), gigabytes ? "GB" : "MB");
  left[0] = '\0';
  if (elapsedMs < 1000 || done == 0 || done >= total) return;
  const double seconds = static_cast<double>(total - done) * elapsedMs /
                         static_cast<double>(done) / 1000;
  if (seconds < 59.5) {
    std::snprintf(left, capacity, "%s%u%s", kTimeLeft, static_cast<unsigned>(seconds + 0.999),
                  kSecondsUnit);
  } else if (seconds < 6000000.0) {
    std::snprintf(left, capacity, "%s%u%s", kTimeLeft, static_cast<unsigned>(seconds / 60 + 0.999),
                  kMinutesUnit);
  }
}

}  // namespace tamarisk
