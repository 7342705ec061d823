// The effect instance the host talks to: lifecycle, rate classes and latency,
// the process entries and their lock, parameter application and the meter
// read-out.
#pragma once

#include <cstdint>
#include <mutex>

#include "CalibrationGenerator.h"
#include "MeterReadout.h"
#include "ParameterTable.h"
#include "engine/EngineFrontEnd.h"
#include "presets/CPresetSystemEffect.h"

namespace vexal {

class Plugin;
// Makes the effect's editor object; the plug-in's entry hands it over.
using EditorFactory = EditorLink* (*)(Plugin& effect);

class Plugin : public CPresetSystemEffect {
public:
    // Without a factory the effect has no editor (effEditOpen answers 0).
    explicit Plugin(vst::HostCallback hostCallback, EditorFactory makeEditor = nullptr);
    ~Plugin() override;

    // --- lifecycle (UI thread) ----------------------------------------------
    void suspend() override;
    void setSampleRate(float rate) override;

    // --- processing (audio thread; takes processLock) -----------------------
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int32_t sampleFrames) override;

    // --- parameters (any thread; only TransShape takes processLock) ---------
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void getParameterLabel(int32_t index, char* label) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    bool getParameterProperties(int32_t index, vst::VstParameterProperties* p) override;

    // --- identity -----------------------------------------------------------
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getPlugCategory() override { return vst::kPlugCategMastering; }

    bool isParameterSkippedOnSave(int32_t) override { return false; }
    bool isParameterSkippedOnLoad(int32_t) override { return false; }

    // Copies the ten meter values (linear) and asks the kernel to restart its holds.
    virtual void readMeters(float* values);
    virtual int32_t getRateClass() { return engine.rateClass(); }

    // Test seam.
    const EngineSettings& engineSettings() const { return engine.settings(); }

    static constexpr int32_t kUniqueId = vst::fourCharCode('Z', 'V', 'v', 'x');
    static constexpr const char* kEffectName = "ZVK Vexal";
    static constexpr const char* kVendorName = "Ortelwerk";
    static constexpr const char* kProductName = "Full band precision limiter";

private:
    template <class Sample>
    void process(Sample** inputs, Sample** outputs, int32_t sampleFrames);

    void resetEngine();
    void applyTransShape(float value);
    void convertOldLayout(float value);

    std::recursive_timed_mutex processLock;

    Relaxed<float> hostValues[kNumStoredParams];
    EngineFrontEnd engine;
    CalibrationGenerator calibration;
};

}  // namespace vexal
