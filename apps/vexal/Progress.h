// A one-line progress bar on stderr: percent, speed as a multiple of real
// time and time left; in a delivery run also which pass of how many, the
// time left then covering the passes still expected. Silent unless stderr
// is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vexal::cli {

class Progress {
public:
    explicit Progress(bool wanted);

    // Pass `index` of `total` expected (0 of 0: not a delivery run).
    void pass(int index, int total);
    void begin(const std::string& label, int64_t totalFrames, int32_t sampleRate);
    void update(int64_t framesDone);
    void end();

private:
    void draw(int64_t framesDone);

    bool enabled;
    std::string label;
    int64_t total = 0;
    int32_t rate = 1;
    int passIndex = 0, passTotal = 0;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
    bool drawn = false;
};

}  // namespace vexal::cli
