// The progress line of pravel-check --fetch on standard error: the file's
// name, the bytes present, the total when known and the rate, rewritten in
// place at most four times a second and finished with a line end. Shown
// only where standard error is a terminal (the caller decides: a meter
// without a writer is silent).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace pravel {

// "950 B", "12.3 KiB", "4.5 MiB", "1.2 GiB".
std::string FormatByteCount(uint64_t bytes);
// "setup.exe: 1.5 MiB of 4.0 MiB, 2.3 MiB/s" (without a total: "1.5 MiB,
// 2.3 MiB/s").
std::string ProgressText(const std::string& name, uint64_t done, uint64_t total,
                         double bytesPerSecond);

class ProgressMeter {
  public:
    using Writer = std::function<void(const std::string&)>;
    // `write` puts text on standard error; empty: the meter shows nothing.
    explicit ProgressMeter(Writer write) : write_(std::move(write)) {}

    void Start(const std::string& name, uint64_t total);
    // `present`: the bytes of the file there now (a resumed file starts
    // above 0).
    void Update(uint64_t present);
    void SetTotal(uint64_t total) { total_ = total; }
    void Finish();

  private:
    using Clock = std::chrono::steady_clock;
    void Show(bool last);

    Writer write_;
    std::string name_;
    uint64_t total_ = 0;
    uint64_t first_ = 0;  // bytes present at the start (not counted in the rate)
    uint64_t present_ = 0;
    bool started_ = false;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastShown_;
    size_t lastWidth_ = 0;
};

}  // namespace pravel
