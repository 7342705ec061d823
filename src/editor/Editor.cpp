#include "Editor.h"

#include "../core/MeteringPrefs.h"
#include "../core/ParameterTable.h"
#include "../core/Plugin.h"
#include "../gui/GuiClock.h"
#include "ArtworkBitmap.h"
#include "CInfo.h"
#include "CLevelMeter.h"
#include "CMeterGR.h"
#include "CMeterLCD.h"
#include "CMyKnob.h"
#include "MyFrame.h"
#include "ValueFields.h"
#include "VexalSwitches.h"

namespace vexal {

namespace {

// Releases the open's reference once the controls hold their own.
struct Bitmap {
    CBitmap* bitmap;
    explicit Bitmap(int32_t id) : bitmap(newArtworkBitmap(id)) {}
    ~Bitmap() { bitmap->forget(); }
    operator CBitmap*() const { return bitmap; }  // NOLINT: used where a bitmap is taken
};

struct KnobSetup {
    int32_t parameter;
    CRect rect;
    int32_t bitmap;
    CCoord frameHeight;
    float defaultValue;
    float increment;
};

// Transient, Release, Leveller, L/R Link, then Drive and Output (created later).
constexpr KnobSetup kKnobs[6] = {
    {kTransient, CRect(55, 169, 105, 217), 152, 48, 0.2f, 0.03125f},
    {kRelease, CRect(56, 267, 105, 314), 153, 47, 0.7237f, 0.03125f},
    {kLeveller, CRect(421, 169, 469, 216), 147, 47, 1.0f, 0.05208336f},
    {kLink, CRect(421, 267, 469, 314), 148, 47, 1.0f, 0.03125f},
    {kDrive, CRect(52, 349, 108, 404), 150, 55, 0.5f, 0.01302084f},
    {kOutput, CRect(417, 349, 475, 405), 151, 56, 1.0f, 0.05208336f},
};

}  // namespace

Editor::Editor(Plugin* effect)
    : CPresetSystemEditor(effect), lastIdleTick(guiTicks()), highlightStart(lastIdleTick) {
    setWindowSize(kWindowWidth, kWindowHeight);
    for (auto& v : pendingValue) v.store(0.0f, std::memory_order_relaxed);
}

Editor::~Editor() {
    // The frame goes before the members it calls back into.
    close();
}

Plugin* Editor::plugin() const { return static_cast<Plugin*>(effect); }

// --- open and close ---------------------------------------------------------------------------

bool Editor::open(void* parentWindow) {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    if (hasWindow()) close();
    AEffGUIEditor::open(parentWindow);
    Bitmap background(128);
    auto* f = new MyFrame(CRect(0, 0, background.bitmap->isLoaded() ? background.bitmap->getWidth() : kWindowWidth,
                                background.bitmap->isLoaded() ? background.bitmap->getHeight() : kWindowHeight),
                          this);
    f->setBackground(background);
    if (!openFrame(f)) return false;
    buildControls();
    CPresetSystemEditor::open(parentWindow);
    return true;
}

bool Editor::openOffscreen() {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    if (hasWindow()) close();
    Bitmap background(128);
    auto* f = new MyFrame(CRect(0, 0, kWindowWidth, kWindowHeight), this);
    f->setBackground(background);
    AEffGUIEditor::openOffscreen(f);
    buildControls();
    CPresetSystemEditor::open(nullptr);
    frame->redrawAll();
    return true;
}

void Editor::close() {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    if (hasWindow()) CPresetSystemEditor::close();
    AEffGUIEditor::close();
}

void Editor::frameClosing() {
    CPresetSystemEditor::frameClosing();
    forgetControls();
}

void Editor::forgetControls() {
    for (CControl*& c : controls) c = nullptr;
    detectorOrder = quantize = attZoom = power = autoOut = postMeter = meterOvs = nullptr;
    for (auto& s : showStage) s = nullptr;
    for (auto& f : fields) f = nullptr;
    oversample = nullptr;
    modeButton = nullptr;
    autoblack = nullptr;
    bits = nullptr;
    noiseShape = nullptr;
    calibrate = nullptr;
    transient = release = leveller = link = drive = output = nullptr;
    transShape = nullptr;
    info = nullptr;
    meterIn = nullptr;
    meterOut = nullptr;
    meterGR = nullptr;
    lcdIn = lcdOut = nullptr;
    lcdGR = nullptr;
}

void Editor::buildControls() {
    pendingMask.store(0, std::memory_order_relaxed);
    auto value = [this](int32_t i) { return effect->getParameter(i); };
    int32_t n = 0;
    // The frame takes the creation reference; the editor's pointers are valid while it lives.
    auto add = [this, &n](CControl* c) {
        controls[n++] = c;
        frame->addView(c);
    };
    auto knob = [this, &value](const KnobSetup& k) {
        Bitmap b(k.bitmap);
        auto* c = new CMyKnob(k.rect, this, k.parameter, 101, k.frameHeight, b);
        c->setDefaultValue(k.defaultValue);
        c->setWheelInc(k.increment);
        c->setValue(value(k.parameter));
        return c;
    };
    auto onOff = [this, &value](const CRect& r, int32_t id, int32_t tag, float v, bool metering) {
        Bitmap b(id);
        auto* c = new CVexalButton(r, this, tag, b, metering);
        c->setValue(v);
        return c;
    };
    {
        Bitmap fontNormal(137), fontRed(138);
        const float quantizeOn = value(kQuantize);

        add(detectorOrder = onOff(CRect(44, 40, 77, 59), 139, kDetectorOrder, value(kDetectorOrder), false));
        {
            Bitmap b(140);
            oversample = new COversamplingButton(CRect(81, 40, 114, 59), this, kOversample, b);
            oversample->setValue(value(kOversample));
            add(oversample);
        }
        {
            Bitmap b(141);
            modeButton = new CModeButton(CRect(223, 305, 258, 361), this, kScale, b);
            modeButton->setType(value(kMeterType));
            modeButton->setScale(value(kScale));
            add(modeButton);
        }
        add(quantize = onOff(CRect(412, 40, 445, 59), 162, kQuantize, quantizeOn, false));
        {
            Bitmap b(163);
            autoblack = new CAutoBlack(CRect(449, 40, 482, 59), this, kAutoblack, b);
            autoblack->setEnabled(quantizeOn);
            autoblack->setState(value(kAutoblack));
            add(autoblack);
        }
        {
            Bitmap b(142);
            bits = new CBits(CRect(412, 78, 445, 97), this, kBits, b);
            bits->setEnabled(quantizeOn);
            bits->setIndex(value(kBits));
            add(bits);
        }
        {
            Bitmap b(143);
            noiseShape = new CNoiseShape(CRect(449, 78, 482, 97), this, kNoiseShape, b);
            noiseShape->setIndex(value(kNoiseShape));
            noiseShape->setEnabled(quantizeOn);
            add(noiseShape);
        }
        {
            Bitmap b(145);
            calibrate = new CCalibButton(CRect(269, 341, 302, 360), this, kCalibrate, b);
            calibrate->setValue(value(kCalibrate));
            add(calibrate);
        }
        add(attZoom = onOff(CRect(269, 265, 302, 284), 144, kAttZoom, value(kAttZoom), true));
        const int32_t mask = stepIndex(value(kAttShow), 8);
        add(showStage[0] = onOff(CRect(224, 265, 257, 284), 164, kShowStageOneTag, (mask & 1) ? 1.0f : 0.0f, true));
        add(showStage[1] = onOff(CRect(224, 230, 257, 249), 165, kShowStageTwoTag, (mask & 2) ? 1.0f : 0.0f, true));
        add(showStage[2] = onOff(CRect(269, 230, 302, 249), 166, kShowLevellerTag, (mask & 4) ? 1.0f : 0.0f, true));
        add(transient = knob(kKnobs[0]));
        add(release = knob(kKnobs[1]));
        add(leveller = knob(kKnobs[2]));
        add(link = knob(kKnobs[3]));
        {
            Bitmap b(146);
            transShape = new CSpeedSwitch(CRect(38, 121, 128, 146), this, kTransShape, b);
            transShape->setValue(value(kTransShape));
            add(transShape);
        }
        add(power = onOff(CRect(245, 400, 280, 435), 149, kPower, value(kPower), false));
        add(drive = knob(kKnobs[4]));
        add(output = knob(kKnobs[5]));
        add(autoOut = onOff(CRect(394, 368, 412, 392), 161, kAutoOut, value(kAutoOut), false));
        add(postMeter = onOff(CRect(116, 368, 134, 392), 161, kPostMeter, value(kPostMeter), true));
        {
            Bitmap b(157);  // not among the artwork: the panel never draws a background
            info = new CInfo(CRect(224, 370, 301, 401), b.bitmap->isLoaded() ? b.bitmap : nullptr, fontNormal);
            add(info);
        }
        {
            Bitmap background(128);
            CFontDesc* font = new CFontDesc("Arial", 10);
            for (int32_t i = 0; i < kNumValueFields; ++i) {
                const ValueField& f = kValueFields[i];
                auto* field = new CTextEdit(f.rect, this, f.parameter, nullptr, background, 0);
                field->setBackOffset(CPoint{f.rect.left, f.rect.top});
                field->setFont(font);
                field->setFontColor(f.fontColor);
                field->setBackColor(f.backColor);
                field->setValueToStringFunction(f.toText, nullptr);
                field->setStringToValueFunction(f.toValue, nullptr);
                field->setValue(value(f.parameter));
                fields[i] = field;
                add(field);
            }
            font->forget();
        }
        add(meterOvs = onOff(CRect(269, 307, 302, 326), 160, kMeterOvs, value(kMeterOvs), true));
        {
            Bitmap litPeak(130), unlitPeak(155), litK(154), unlitK(129);
            Bitmap inPeak(133), inK14(132), inK20(131), outPeak(136), outK14(135), outK20(134);
            meterIn = new CMeterIn(CRect(147, 38, 207, 408), this,
                                   LevelMeterBitmaps{litPeak, unlitPeak, litK, unlitK, inPeak, inK14, inK20});
            add(meterIn);
            meterOut = new CMeterOut(CRect(319, 38, 379, 406), this,
                                     LevelMeterBitmaps{litPeak, unlitPeak, litK, unlitK, outPeak, outK14, outK20});
            add(meterOut);
        }
        {
            Bitmap bar(156), scale(167);
            meterGR = new CMeterGR(CRect(233, 39, 291, 192), bar, scale, this);
            meterGR->setZoom(value(kAttZoom));
            add(meterGR);
        }
        {
            Bitmap background(128);
            lcdIn = new CMeterLCD(CRect(131, 415, 224, 426), background, fontNormal, fontRed, this);
            add(lcdIn);
            lcdOut = new CMeterLCD(CRect(303, 415, 396, 426), background, fontNormal, fontRed, this);
            add(lcdOut);
            lcdGR = new CMeterLCDGR(CRect(217, 199, 310, 210), background, fontNormal, this);
            add(lcdGR);
        }
    }
    updateMeterMode(-1, 0.0f);
    info->setLatency(shownLatency.load(std::memory_order_relaxed));
}

CControl* Editor::control(int32_t i) const { return i >= 0 && i < kNumControls ? controls[i] : nullptr; }

// --- parameters from the effect ---------------------------------------------------------------

void Editor::setParameter(int32_t index, float value) {
    if (index < 0 || index >= kNumStoredParams) return;
    pendingValue[index].store(value, std::memory_order_relaxed);
    pendingMask.fetch_or(1u << index, std::memory_order_release);
}

void Editor::setLatency(int32_t samples) {
    CPresetSystemEditor::setLatency(samples);
    shownLatency.store(samples, std::memory_order_relaxed);
    pendingMask.fetch_or(kLatencyPending, std::memory_order_release);
}

void Editor::pumped() {
    uint32_t mask = pendingMask.exchange(0, std::memory_order_acquire);
    if (!hasWindow() || !info) return;
    if (mask & kLatencyPending) info->setLatency(shownLatency.load(std::memory_order_relaxed));
    for (int32_t i = 0; i < kNumStoredParams; ++i)
        if (mask & (1u << i)) applyParameter(i, pendingValue[i].load(std::memory_order_relaxed));
}

void Editor::applyParameter(int32_t index, float v) {
    // A control that takes the value as it is, redrawn at the next draw.
    auto show = [v](CControl* c) {
        c->setValue(v);
        c->invalid();
    };
    switch (index) {
        // A knob and the value field beneath it.
        case kOutput: show(output); show(fields[1]); break;
        case kDrive: show(drive); show(fields[0]); break;
        case kTransient: show(transient); show(fields[2]); break;
        case kRelease: show(release); show(fields[3]); break;
        case kLink: show(link); show(fields[5]); break;
        case kLeveller: show(leveller); show(fields[4]); break;
        case kTransShape: show(transShape); break;
        case kOversample: show(oversample); break;
        case kDetectorOrder: show(detectorOrder); break;
        case kPower: show(power); break;
        case kCalibrate: show(calibrate); break;
        case kMeterOvs: show(meterOvs); break;
        case kAutoOut: show(autoOut); break;
        case kPostMeter: show(postMeter); break;
        case kScale:
            modeButton->setScale(v);
            updateMeterMode(index, v);
            break;
        case kBits: bits->setIndex(v); break;
        case kNoiseShape: noiseShape->setIndex(v); break;
        case kQuantize:
            show(quantize);
            bits->setEnabled(v);
            noiseShape->setEnabled(v);
            autoblack->setEnabled(v);
            break;
        case kAutoblack: autoblack->setState(v); break;
        case kMeterType:
            modeButton->setType(v);
            updateMeterMode(index, v);
            break;
        case kAttZoom:
            show(attZoom);
            meterGR->setZoom(v);
            break;
        case kAttShow: {
            meterGR->reset();
            lcdGR->reset();
            const int32_t m = stepIndex(v, 8);
            for (int32_t k = 0; k < 3; ++k) {
                showStage[k]->setValue(stepValue((m >> k) & 1, 2));
                showStage[k]->invalid();
            }
            break;
        }
        default: break;
    }
}

void Editor::updateMeterMode(int32_t index, float v) {
    const float type = index == kMeterType ? v : effect->getParameter(kMeterType);
    const float scale = index == kScale ? v : effect->getParameter(kScale);
    displayMode = stepIndex(type, 2) == 0 ? 0 : stepIndex(scale, 3) + 1;
    meterIn->setMode(displayMode);
    meterOut->setMode(displayMode);
    lcdIn->setMode(displayMode);
    lcdOut->setMode(displayMode);
}

// --- changes from the controls ----------------------------------------------------------------

void Editor::setParameterAutomated(int32_t index, float value) {
    if (effect) effect->setParameterAutomated(index, value);
}

int32_t Editor::parameterOfControl(CControl* c) {
    const int32_t tag = c->getTag();
    return tag >= 0 && tag < kNumStoredParams ? tag : -1;
}

void Editor::valueChanged(CControl* c) {
    CPresetSystemEditor::valueChanged(c);
    if (!effect || !hasWindow()) return;
    const int32_t tag = c->getTag();
    const float v = c->getValue();
    switch (tag) {
        case kOutput: case kDrive: case kTransient: case kRelease: case kTransShape: case kLink:
        case kDetectorOrder: case kPower: case kBits: case kNoiseShape: case kLeveller:
        case kAutoOut: case kQuantize: case kAutoblack:
            setParameterAutomated(tag, v);
            break;
        case kOversample: case kCalibrate: case kMeterOvs:
            resetMeters();
            setParameterAutomated(tag, v);
            break;
        case kAttZoom:
            meterGR->reset();
            setParameterAutomated(tag, v);
            break;
        case kPostMeter:
            meterIn->reset();
            lcdIn->reset();
            setParameterAutomated(tag, v);
            break;
        case kMeterTag:
            resetMeters();
            break;
        case kShowStageOneTag: case kShowStageTwoTag: case kShowLevellerTag: {
            int32_t m = stepIndex(effect->getParameter(kAttShow), 8);
            const int32_t bit = 1 << (tag - kShowStageOneTag);
            m = stepIndex(v, 2) == 1 ? (m | bit) : (m & ~bit);
            setParameterAutomated(kAttShow, stepValue(m, 8));
            break;
        }
        default: break;
    }
}

void Editor::resetMeters() {
    if (!hasWindow() || !meterIn) return;
    meterIn->reset();
    meterOut->reset();
    meterGR->reset();
    lcdIn->reset();
    lcdOut->reset();
    lcdGR->reset();
}

// --- metering preferences ---------------------------------------------------------------------

void Editor::saveMeteringPrefs() {
    // Every value is tried (each is whole, old or new); the highlight
    // confirms only a complete save, a failed one names what was not
    // written and why.
    platform::SettingsStore& store = settingsStore();
    std::string failed, why;
    for (const MeteringPref& pref : kMeteringPrefs) {
        if (store.writeNumber(platform::SettingsKey::prefs, pref.valueName,
                              stepIndex(effect->getParameter(pref.parameter), pref.steps)))
            continue;
        failed += std::string(failed.empty() ? "\"" : ", \"") + pref.valueName + "\"";
        if (why.empty()) why = store.lastProblem();
    }
    if (!failed.empty()) {
        if (frame) {
            const std::string text = "The metering set-up was not saved: " + failed + " could not be written (" + why + ").";
            frame->showMessage(text.c_str(), "Not saved");
        }
        return;
    }
    highlightStart = guiTicks();
    if (highlightStart == 0) highlightStart = 1;  // 0 means "nothing highlighted"
    if (hasWindow() && modeButton) {
        for (CVexalButton* s : {showStage[0], showStage[1], showStage[2], attZoom, meterOvs, postMeter})
            s->setHighlighted(true);
        modeButton->setHighlighted(true);
    }
}

void Editor::clearHighlights() {
    if (!modeButton) return;
    for (CVexalButton* s : {showStage[0], showStage[1], showStage[2], attZoom, meterOvs, postMeter})
        s->setHighlighted(false);
    modeButton->setHighlighted(false);
}

// --- idle -------------------------------------------------------------------------------------

void Editor::idle() {
    const uint32_t now = guiTicks();
    if (now - lastIdleTick < kIdlePeriodMs) return;
    ++serviced;
    float m[kNumMeterValues];
    plugin()->readMeters(m);
    if (hasWindow() && meterIn) {
        meterIn->setLevels(now, m[0], m[1], m[4], m[5]);
        meterOut->setLevels(now, m[2], m[3], m[6], m[7]);
        meterGR->setLevels(now, m[8], m[9]);
        lcdIn->setLevels(m[0], m[1]);
        lcdOut->setLevels(m[2], m[3]);
        lcdGR->setLevels(m[8], m[9]);
        calibrate->tick(now);
    }
    if (highlightStart != 0 && now - highlightStart > kHighlightMs) {
        clearHighlights();
        highlightStart = 0;
    }
    CPresetSystemEditor::idle();
    lastIdleTick = now;
}

}  // namespace vexal
