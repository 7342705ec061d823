#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vexal::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;
constexpr size_t kLabelWidth = 22;  // the whole line stays within 80 columns
}  // namespace

Progress::Progress(bool wanted) : enabled(wanted && isatty(STDERR_FILENO)) {}

void Progress::pass(int index, int total) {
    passIndex = index;
    passTotal = std::max(index, total);
}

void Progress::begin(const std::string& name, int64_t totalFrames, int32_t sampleRate) {
    const auto slash = name.find_last_of('/');
    label = slash == std::string::npos ? name : name.substr(slash + 1);
    if (label.size() > kLabelWidth) label = label.substr(0, kLabelWidth - 3).append("...");
    total = std::max<int64_t>(totalFrames, 1);
    rate = std::max(sampleRate, 1);
    started = std::chrono::steady_clock::now();
    lastDrawn = started;
    drawn = false;
}

void Progress::update(int64_t framesDone) {
    if (!enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn < kRedrawInterval) return;
    lastDrawn = now;
    draw(framesDone);
}

void Progress::draw(int64_t framesDone) {
    const double fraction = std::clamp(static_cast<double>(framesDone) / total, 0.0, 1.0);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double speed = elapsed > 0.0 ? framesDone / static_cast<double>(rate) / elapsed : 0.0;
    // The passes still expected after this one take as long as this one.
    const double whole = fraction > 0.0 ? elapsed / fraction : 0.0;
    const double left = whole * (1.0 - fraction) + whole * std::max(0, passTotal - passIndex);
    const int width = passTotal > 0 ? kBarWidth - 12 : kBarWidth;  // the line stays within 80 columns
    char bar[kBarWidth + 1];
    const int filled = static_cast<int>(fraction * width);
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '-';
    bar[width] = 0;
    char passText[32] = "";
    if (passTotal > 0) std::snprintf(passText, sizeof passText, "pass %d of %d ", passIndex, passTotal);
    std::fprintf(stderr, "\r%-22s %s[%s] %3d%% %6.1fx real time %3d:%02d left", label.c_str(), passText, bar,
                 static_cast<int>(fraction * 100.0), speed, static_cast<int>(left) / 60,
                 static_cast<int>(left) % 60);
    std::fflush(stderr);
    drawn = true;
}

void Progress::end() {
    if (!enabled || !drawn) return;
    std::fprintf(stderr, "\r%*s\r", 79, "");
    std::fflush(stderr);
}

}  // namespace vexal::cli
