// What the parameter layer derives and the kernel reads. Written on whatever
// thread sets parameters, read by the audio thread: every field is a relaxed
// atomic, a plain load or store on x86, never seen half written.
#pragma once

#include <atomic>
#include <cstdint>

namespace vexal {

template <class T>
struct Relaxed {
    std::atomic<T> value;
    Relaxed(T initial = T{}) : value(initial) {}
    Relaxed(const Relaxed&) = delete;
    Relaxed& operator=(const Relaxed&) = delete;
    T load() const { return value.load(std::memory_order_relaxed); }
    void store(T v) { value.store(v, std::memory_order_relaxed); }
    operator T() const { return load(); }
    Relaxed& operator=(T v) {
        store(v);
        return *this;
    }
};

constexpr int kFollowerCount = 8;
constexpr int kNoiseShapeTaps = 12;
constexpr int kMaxLookAhead = 512;
constexpr int kAlignDelay = 31;
constexpr int kMaxSmoothLen = 256;

struct EngineSettings {
    Relaxed<double> outputGain{1.0};
    Relaxed<double> driveGain{1.0};
    Relaxed<double> transientMix{0.0};
    Relaxed<double> releaseMs{200.0};
    Relaxed<int32_t> transShape{2};
    Relaxed<double> linkAmount{1.0};
    Relaxed<int32_t> oversampleOn{0};
    Relaxed<int32_t> detectorOrder{0};
    Relaxed<int32_t> powerOn{1};
    Relaxed<double> powerGain{1.0};
    Relaxed<int32_t> meterScale{0};
    Relaxed<int32_t> bitsIndex{1};
    Relaxed<int32_t> noiseShape{0};
    // Points at one of the 19 sets of 12 coefficients a1..a12.
    Relaxed<const double*> noiseShapeSet{nullptr};
    // Raised when a set is selected: the kernel restarts its error-ring index at 0.
    // Exchanged by the kernel (hence mutable: it reads the settings as const).
    mutable Relaxed<bool> noiseShapeRingReset{false};
    Relaxed<int32_t> calibrateMode{0};
    Relaxed<double> levellerThreshold{1.0};
    Relaxed<float> levellerRaw{1.0f};  // exactly 1.0 switches the leveller off
    Relaxed<int32_t> meterOversample{0};
    Relaxed<int32_t> autoOutput{0};
    Relaxed<int32_t> quantizeOn{0};
    Relaxed<int32_t> autoBlackOn{0};
    Relaxed<int32_t> meterType{0};
    Relaxed<int32_t> attZoom{0};
    Relaxed<int32_t> grShowMask{7};
    Relaxed<int32_t> inputMeterPre{0};

    // Lengths: changed only under processLock.
    Relaxed<int32_t> lookAhead{128};
    Relaxed<int32_t> smoothLen{64};
    Relaxed<int32_t> envelopeDelay{2};

    Relaxed<double> attackCoef[kFollowerCount];
    Relaxed<double> releaseCoef[kFollowerCount];
    Relaxed<double> rmsCoef{0.0};
    Relaxed<double> smoothCoef{0.0};
    Relaxed<double> autoBlackCoef{0.0};
    Relaxed<double> levellerCoef{0.0};
};

// The ten meter values and the read-out handshake. The kernel publishes its
// holds at the end of each block; the reader copies them and raises metersRead,
// which the kernel clears when it restarts the peak and gain holds.
struct MeterValues {
    Relaxed<double> inputPeak[2];
    Relaxed<double> outputPeak[2];
    Relaxed<double> inputMeanSquare[2];
    Relaxed<double> outputMeanSquare[2];
    Relaxed<double> gainReduction[2]{1.0, 1.0};
    Relaxed<bool> metersRead{false};
    // Raised by an AttShow change: the kernel restarts its gain holds at 1.0.
    Relaxed<bool> gainHoldReset{false};
};

}  // namespace vexal
