#include "Demo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vexal::cli {

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
constexpr double kBeat = 0.5;          // 120 beats per minute
constexpr double kPeakTarget = 0.966;  // −0.3 dBFS

// A small deterministic noise source: the demo is the same on every run.
class Noise {
public:
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state = 0x2545F491u;
};

struct Stereo {
    std::vector<double> left, right;
    explicit Stereo(size_t frames) : left(frames, 0.0), right(frames, 0.0) {}
    void add(size_t i, double value, double pan) {  // pan −1 left … +1 right
        left[i] += value * std::sqrt(0.5 * (1.0 - pan));
        right[i] += value * std::sqrt(0.5 * (1.0 + pan));
    }
};

void addKick(Stereo& mix, size_t start, double fs) {
    double phase = 0.0;
    const size_t length = static_cast<size_t>(0.35 * fs);
    for (size_t k = 0; k < length && start + k < mix.left.size(); ++k) {
        const double t = k / fs;
        phase += kTwoPi * (48.0 + 110.0 * std::exp(-t * 28.0)) / fs;
        const double click = k < 40 ? 0.5 * (1.0 - k / 40.0) : 0.0;
        mix.add(start + k, (std::sin(phase) + click) * std::exp(-t * 9.0) * 1.1, 0.0);
    }
}

void addSnare(Stereo& mix, size_t start, double fs, Noise& noise) {
    const size_t length = static_cast<size_t>(0.25 * fs);
    double previous = 0.0;
    for (size_t k = 0; k < length && start + k < mix.left.size(); ++k) {
        const double t = k / fs;
        const double n = noise.next();
        const double bright = n - 0.6 * previous;  // tilt the noise upward
        previous = n;
        const double body = std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 30.0);
        mix.add(start + k, (0.75 * bright * std::exp(-t * 16.0) + 0.6 * body), 0.1);
    }
}

void addHat(Stereo& mix, size_t start, double fs, Noise& noise, double level) {
    const size_t length = static_cast<size_t>(0.05 * fs);
    double previous = 0.0;
    for (size_t k = 0; k < length && start + k < mix.left.size(); ++k) {
        const double n = noise.next();
        mix.add(start + k, level * (n - previous) * std::exp(-(k / fs) * 90.0), 0.45);
        previous = n;
    }
}

// Roots of the four bars that repeat: A, F, C, G.
constexpr double kRoots[4] = {55.0, 43.654, 65.406, 48.999};

void addBass(Stereo& mix, double fs) {
    const double eighth = kBeat / 2.0;
    double phase = 0.0;
    double smoothed = 0.0;
    for (size_t i = 0; i < mix.left.size(); ++i) {
        const double t = i / fs;
        const int bar = static_cast<int>(t / (4.0 * kBeat)) % 4;
        const double inNote = std::fmod(t, eighth);
        const int step = static_cast<int>(t / eighth) % 8;
        const double freq = kRoots[bar] * (step == 6 ? 2.0 : 1.0);
        phase = std::fmod(phase + freq / fs, 1.0);
        const double saw = 2.0 * phase - 1.0;
        smoothed += 0.08 * (saw - smoothed);  // a gentle low-pass
        const double envelope = std::exp(-inNote * 7.0) * std::min(1.0, inNote * 400.0);
        mix.add(i, 0.55 * smoothed * envelope, 0.0);
    }
}

void addPad(Stereo& mix, double fs) {
    constexpr double kChord[3] = {2.0, 2.5198, 2.9966};  // root, major third, fifth, an octave up
    double phases[2][3][2] = {};
    for (size_t i = 0; i < mix.left.size(); ++i) {
        const double t = i / fs;
        const int bar = static_cast<int>(t / (4.0 * kBeat)) % 4;
        const double inBar = std::fmod(t, 4.0 * kBeat);
        const double swell = std::min(1.0, inBar / 0.6) * (0.8 + 0.2 * std::sin(kTwoPi * 0.25 * t));
        for (int side = 0; side < 2; ++side) {
            double value = 0.0;
            for (int note = 0; note < 3; ++note)
                for (int voice = 0; voice < 2; ++voice) {
                    const double detune = 1.0 + (voice ? 0.004 : -0.003) * (side ? 1.0 : -1.0);
                    const double freq = kRoots[bar] * 2.0 * kChord[note] * detune;
                    double& p = phases[side][note][voice];
                    p = std::fmod(p + freq / fs, 1.0);
                    value += std::sin(kTwoPi * p);
                }
            (side ? mix.right : mix.left)[i] += 0.045 * swell * value;
        }
    }
}

}  // namespace

std::vector<double> synthesizeDemo() {
    const double fs = kDemoSampleRate;
    const auto frames = static_cast<size_t>(kDemoSeconds * fs);
    Stereo mix(frames);
    Noise noise;
    const int beats = static_cast<int>(kDemoSeconds / kBeat);
    for (int beat = 0; beat < beats; ++beat) {
        const auto at = static_cast<size_t>(beat * kBeat * fs);
        if (beat % 2 == 0 || beat % 8 == 7) addKick(mix, at, fs);
        if (beat % 2 == 1) addSnare(mix, at, fs, noise);
        addHat(mix, at, fs, noise, 0.35);
        addHat(mix, at + static_cast<size_t>(kBeat / 2.0 * fs), fs, noise, 0.2);
    }
    addBass(mix, fs);
    addPad(mix, fs);

    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    const double gain = peak > 0.0 ? kPeakTarget / peak : 1.0;
    std::vector<double> interleaved(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = mix.left[i] * gain;
        interleaved[2 * i + 1] = mix.right[i] * gain;
    }
    return interleaved;
}

}  // namespace vexal::cli
