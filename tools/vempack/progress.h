// What the packer tells while it works: a progress line on a terminal and
// one summary line at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vempack {

// "  45 %   60.2 MiB / 134.0 MiB   12.3 MiB/s   0:06 left", as xz -v shows it.
std::string progressLine(std::uint64_t done, std::uint64_t total, double seconds);

// Redraws the progress line on stderr, at most a few times a second, when
// `shown`; clears it when destroyed.
class ProgressMeter {
  public:
    ProgressMeter(std::uint64_t total, bool shown);
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;
    ~ProgressMeter();
    void update(std::uint64_t done);

  private:
    using Clock = std::chrono::steady_clock;
    std::uint64_t total_;
    bool shown_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

// What a run packed, for its summary line.
struct PackSummary {
    std::size_t entries = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    // The designated entry as messages show it; empty when none.
    std::string designated;
    // The dictionary the payload was compressed with; 0 for an archive.
    std::uint32_t dictionary = 0;
};

// "3 entries, 4459669 bytes in, 1523801 bytes out (34.2 %), dictionary
// 8MiB, designated Setup.exe, wrote setup.exe"
std::string summaryLine(const PackSummary& summary, const std::string& output);

} // namespace vempack
