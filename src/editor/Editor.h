// The plug-in's window: 36 controls over the background image, bound to the
// effect's parameters, meters fed from the effect's read-out, the info panel,
// and the preset bar (added by the base class).
//
// Threads: setParameter and setLatency may come from any thread; they only
// store the value and mark it pending. Everything else — building, routing,
// meters, drawing — runs on the thread that pumps the editor, which applies
// the pending values first. No view is touched from another thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "CPresetSystemEditor.h"
#include "EditorActions.h"

namespace vexal {

class Plugin;
class MyFrame;
class CVexalButton;
class COversamplingButton;
class CModeButton;
class CBits;
class CNoiseShape;
class CAutoBlack;
class CCalibButton;
class CSpeedSwitch;
class CMyKnob;
class CTextEdit;
class CMeterIn;
class CMeterOut;
class CMeterGR;
class CMeterLCD;
class CMeterLCDGR;
class CInfo;

class Editor : public CPresetSystemEditor, public EditorActions {
public:
    static constexpr int32_t kMeterTag = 27;
    static constexpr int32_t kShowStageOneTag = 28;
    static constexpr int32_t kShowStageTwoTag = 29;
    static constexpr int32_t kShowLevellerTag = 30;
    static constexpr int32_t kNumControls = 36;
    static constexpr uint32_t kIdlePeriodMs = 40;
    static constexpr uint32_t kHighlightMs = 500;

    explicit Editor(Plugin* effect);
    ~Editor() override;

    bool open(void* parentWindow) override;
    // The same window without a screen: for snapshots and tests.
    bool openOffscreen();
    void close() override;
    void idle() override;

    void setParameter(int32_t index, float value) override;
    void setLatency(int32_t samples) override;
    void valueChanged(CControl* control) override;

    // EditorActions
    void saveMeteringPrefs() override;
    void setParameterAutomated(int32_t index, float value) override;

    void resetMeters();
    int32_t meterDisplayMode() const { return displayMode; }
    // How many idle calls did the service's work (not throttled away).
    uint32_t servicedIdles() const { return serviced; }

    // For tests: the controls in creation order while the window is open.
    CControl* control(int32_t creationIndex) const;
    CModeButton* modeSwitch() const { return modeButton; }
    CCalibButton* calibrationSwitch() const { return calibrate; }
    CInfo* infoPanel() const { return info; }
    CMeterIn* inputMeter() const { return meterIn; }
    CMeterOut* outputMeter() const { return meterOut; }
    CMeterGR* reductionMeter() const { return meterGR; }
    CMeterLCD* inputReadout() const { return lcdIn; }
    CMeterLCD* outputReadout() const { return lcdOut; }
    CMeterLCDGR* reductionReadout() const { return lcdGR; }

protected:
    void pumped() override;
    void frameClosing() override;
    int32_t parameterOfControl(CControl* control) override;

private:
    void buildControls();
    void forgetControls();
    void applyParameter(int32_t index, float value);
    void updateMeterMode(int32_t index, float value);
    void clearHighlights();
    Plugin* plugin() const;

    // Values the effect reported, waiting for the pump: bit i for parameter i.
    static constexpr uint32_t kLatencyPending = 1u << 31;
    std::atomic<float> pendingValue[32];
    std::atomic<uint32_t> pendingMask{0};
    std::atomic<int32_t> shownLatency{0};

    uint32_t lastIdleTick;
    uint32_t highlightStart;
    int32_t displayMode = 0;
    uint32_t serviced = 0;

    CControl* controls[kNumControls] = {};
    CVexalButton* detectorOrder = nullptr;
    COversamplingButton* oversample = nullptr;
    CModeButton* modeButton = nullptr;
    CVexalButton* quantize = nullptr;
    CAutoBlack* autoblack = nullptr;
    CBits* bits = nullptr;
    CNoiseShape* noiseShape = nullptr;
    CCalibButton* calibrate = nullptr;
    CVexalButton* attZoom = nullptr;
    CVexalButton* showStage[3] = {};
    CMyKnob* transient = nullptr;
    CMyKnob* release = nullptr;
    CMyKnob* leveller = nullptr;
    CMyKnob* link = nullptr;
    CSpeedSwitch* transShape = nullptr;
    CVexalButton* power = nullptr;
    CMyKnob* drive = nullptr;
    CMyKnob* output = nullptr;
    CVexalButton* autoOut = nullptr;
    CVexalButton* postMeter = nullptr;
    CInfo* info = nullptr;
    CTextEdit* fields[6] = {};
    CVexalButton* meterOvs = nullptr;
    CMeterIn* meterIn = nullptr;
    CMeterOut* meterOut = nullptr;
    CMeterGR* meterGR = nullptr;
    CMeterLCD* lcdIn = nullptr;
    CMeterLCD* lcdOut = nullptr;
    CMeterLCDGR* lcdGR = nullptr;
};

// The editor factory the plug-in's entry hands the effect.
EditorLink* makeEditor(Plugin& effect);

}  // namespace vexal
