#include "checker/Progress.h"

#include <cstdio>

namespace pravel {

std::string FormatByteCount(uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string ProgressText(const std::string& name, uint64_t done, uint64_t total,
                         double bytesPerSecond) {
    std::string text = name + ": " + FormatByteCount(done);
    if (total != 0) text += " of " + FormatByteCount(total);
    const uint64_t rate = bytesPerSecond > 0 ? static_cast<uint64_t>(bytesPerSecond) : 0;
    return text + ", " + FormatByteCount(rate) + "/s";
}

void ProgressMeter::Start(const std::string& name, uint64_t total) {
    name_ = name;
    total_ = total;
    first_ = present_ = 0;
    started_ = false;
    shown_ = false;
    lastWidth_ = 0;
    start_ = lastShown_ = Clock::now();
}

void ProgressMeter::Update(uint64_t present) {
    if (!started_) {
        started_ = true;
        first_ = present;
    }
    present_ = present;
    if (!write_) return;
    const Clock::time_point now = Clock::now();
    if (shown_ && now - lastShown_ < std::chrono::milliseconds(250)) return;
    lastShown_ = now;
    Show(false);
}

void ProgressMeter::Finish() {
    if (write_ && started_) Show(true);
    started_ = false;
}

void ProgressMeter::Show(bool last) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0.001 ? static_cast<double>(present_ - first_) / seconds : 0.0;
    std::string text = ProgressText(name_, present_, total_, rate);
    const size_t width = text.size();
    if (width < lastWidth_) text += std::string(lastWidth_ - width, ' ');
    lastWidth_ = width;
    write_("\r" + text + (last ? "\n" : ""));
    shown_ = true;
}

}  // namespace pravel
