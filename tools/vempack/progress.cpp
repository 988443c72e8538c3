// Progress and summary lines.
#include "progress.h"

#include <cstdio>
#include <iostream>

namespace vempack {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string size(double bytes) {
    return bytes < 1024.0 * 1024.0 ? format("%.1f KiB", bytes / 1024.0)
                                   : format("%.1f MiB", bytes / (1024.0 * 1024.0));
}

std::string minutes(double seconds) {
    const auto whole = static_cast<unsigned long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lu:%02lu", whole / 60, whole % 60);
    return text;
}

// A dictionary size as --dict takes it: 96KiB, 8MiB.
std::string sizeText(std::uint32_t size) {
    if (size % (1u << 20) == 0) {
        return std::to_string(size >> 20) + "MiB";
    }
    return size % 1024 == 0 ? std::to_string(size >> 10) + "KiB" : std::to_string(size);
}

} // namespace

std::string progressLine(std::uint64_t done, std::uint64_t total, double seconds) {
    const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / total;
    std::string line = format("%3.0f %%", fraction * 100.0) + "   " +
                       size(static_cast<double>(done)) + " / " + size(static_cast<double>(total));
    if (seconds > 0.0 && done > 0) {
        const double speed = done / seconds;
        line += "   " + size(speed) + "/s   " + minutes(static_cast<double>(total - done) / speed) +
                " left";
    }
    return line;
}

ProgressMeter::ProgressMeter(std::uint64_t total, bool shown)
    : total_(total), shown_(shown), start_(Clock::now()), lastDrawn_(start_) {}

ProgressMeter::~ProgressMeter() {
    if (drawn_) {
        std::cerr << "\r\033[K" << std::flush;
    }
}

void ProgressMeter::update(std::uint64_t done) {
    const Clock::time_point now = Clock::now();
    if (!shown_ || now - lastDrawn_ < kRedrawInterval) {
        return;
    }
    lastDrawn_ = now;
    drawn_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::cerr << "\r\033[Kvempack: compressing " << progressLine(done, total_, seconds)
              << std::flush;
}

std::string summaryLine(const PackSummary& summary, const std::string& output) {
    const double ratio = summary.bytesIn == 0 ? 0.0 : 100.0 * summary.bytesOut / summary.bytesIn;
    return std::to_string(summary.entries) + (summary.entries == 1 ? " entry, " : " entries, ") +
           std::to_string(summary.bytesIn) + " bytes in, " + std::to_string(summary.bytesOut) +
           " bytes out (" + format("%.1f %%", ratio) + "), " +
           (summary.dictionary == 0 ? "" : "dictionary " + sizeText(summary.dictionary) + ", ") +
           "designated " + (summary.designated.empty() ? "none" : summary.designated) + ", wrote " +
           output;
}

} // namespace vempack
