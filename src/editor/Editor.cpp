#include "Editor.h"

#include "ArtworkBitmap.h"
#include "CInfo.h"
#include "CLevelMeter.h"
#include "CMeterGR.h"
#include "CMeterLCD.h"
#include "CMyKnob.h"
#include "MyFrame.h"
#include "ValueFields.h"
#include "VexalSwitches.h"
#include "core/MeteringPrefs.h"
#include "core/ParameterTable.h"
#include "core/Plugin.h"
#include "gui/GuiClock.h"

namespace vexal {

namespace {

using artwork::bitmap;
namespace layout = artwork::layout;

// Releases the open's reference once the controls hold their own.
struct Bitmap {
    CBitmap* bitmap;
    explicit Bitmap(const artwork::BitmapInfo& info) : bitmap(newArtworkBitmap(info.id)) {}
    ~Bitmap() { bitmap->forget(); }
    operator CBitmap*() const { return bitmap; }  // NOLINT: used where a bitmap is taken
};

struct KnobSetup {
    int32_t parameter;
    const artwork::BitmapInfo* bitmap;  // shown at its place
    float defaultValue;
    float increment;
};

// Transient, Release, Leveller, L/R Link, then Drive and Output (created later).
constexpr KnobSetup kKnobs[6] = {
    {kTransient, &bitmap("transientKnob"), 0.2f, 0.03125f},
    {kRelease, &bitmap("releaseKnob"), 0.7237f, 0.03125f},
    {kLeveller, &bitmap("levellerKnob"), 1.0f, 0.05208336f},
    {kLink, &bitmap("linkKnob"), 1.0f, 0.03125f},
    {kDrive, &bitmap("driveKnob"), 0.5f, 0.01302084f},
    {kOutput, &bitmap("outputKnob"), 1.0f, 0.05208336f},
};

}  // namespace

EditorLink* makeEditor(Plugin& effect) { return new Editor(&effect); }

Editor::Editor(Plugin* effect)
    : CPresetSystemEditor(effect), lastIdleTick(guiTicks()), highlightStart(lastIdleTick) {
    setWindowSize(layout::window.width(), layout::window.height());
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
    Bitmap background(bitmap("background"));
    auto* f = new MyFrame(background.bitmap->isLoaded()
                              ? CRect(0, 0, background.bitmap->getWidth(), background.bitmap->getHeight())
                              : toCRect(layout::window),
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
    Bitmap background(bitmap("background"));
    auto* f = new MyFrame(toCRect(layout::window), this);
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
        Bitmap b(*k.bitmap);
        auto* c = new CMyKnob(toCRect(k.bitmap->place), this, k.parameter, k.bitmap->frames, k.bitmap->frameHeight(),
                              b);
        c->setDefaultValue(k.defaultValue);
        c->setWheelInc(k.increment);
        c->setValue(value(k.parameter));
        return c;
    };
    // At the bitmap's place unless another is given.
    auto onOff = [this](const artwork::BitmapInfo& info, int32_t tag, float v, bool metering,
                        const artwork::Rect& place = layout::none) {
        Bitmap b(info);
        auto* c = new CVexalButton(toCRect(place.empty() ? info.place : place), this, tag, b, metering);
        c->setValue(v);
        return c;
    };
    {
        Bitmap fontNormal(bitmap("font")), fontRed(bitmap("fontRed"));
        const float quantizeOn = value(kQuantize);

        add(detectorOrder = onOff(bitmap("detectorOrder"), kDetectorOrder, value(kDetectorOrder), false));
        {
            Bitmap b(bitmap("oversample"));
            oversample = new COversamplingButton(toCRect(layout::oversample), this, kOversample, b);
            oversample->setValue(value(kOversample));
            add(oversample);
        }
        {
            Bitmap b(bitmap("meterMode"));
            modeButton = new CModeButton(toCRect(layout::meterMode), this, kScale, b);
            modeButton->setType(value(kMeterType));
            modeButton->setScale(value(kScale));
            add(modeButton);
        }
        add(quantize = onOff(bitmap("quantize"), kQuantize, quantizeOn, false));
        {
            Bitmap b(bitmap("autoblack"));
            autoblack = new CAutoBlack(toCRect(layout::autoblack), this, kAutoblack, b);
            autoblack->setEnabled(quantizeOn);
            autoblack->setState(value(kAutoblack));
            add(autoblack);
        }
        {
            Bitmap b(bitmap("bits"));
            bits = new CBits(toCRect(layout::bits), this, kBits, b);
            bits->setEnabled(quantizeOn);
            bits->setIndex(value(kBits));
            add(bits);
        }
        {
            Bitmap b(bitmap("noiseShape"));
            noiseShape = new CNoiseShape(toCRect(layout::noiseShape), this, kNoiseShape, b);
            noiseShape->setIndex(value(kNoiseShape));
            noiseShape->setEnabled(quantizeOn);
            add(noiseShape);
        }
        {
            Bitmap b(bitmap("calibrate"));
            calibrate = new CCalibButton(toCRect(layout::calibrate), this, kCalibrate, b);
            calibrate->setValue(value(kCalibrate));
            add(calibrate);
        }
        add(attZoom = onOff(bitmap("attZoom"), kAttZoom, value(kAttZoom), true));
        const int32_t mask = stepIndex(value(kAttShow), 8);
        add(showStage[0] = onOff(bitmap("showStage1"), kShowStageOneTag, (mask & 1) ? 1.0f : 0.0f, true));
        add(showStage[1] = onOff(bitmap("showStage2"), kShowStageTwoTag, (mask & 2) ? 1.0f : 0.0f, true));
        add(showStage[2] = onOff(bitmap("showLeveller"), kShowLevellerTag, (mask & 4) ? 1.0f : 0.0f, true));
        add(transient = knob(kKnobs[0]));
        add(release = knob(kKnobs[1]));
        add(leveller = knob(kKnobs[2]));
        add(link = knob(kKnobs[3]));
        {
            Bitmap b(bitmap("transShape"));
            transShape = new CSpeedSwitch(toCRect(layout::transShape), this, kTransShape, b);
            transShape->setValue(value(kTransShape));
            add(transShape);
        }
        add(power = onOff(bitmap("power"), kPower, value(kPower), false));
        add(drive = knob(kKnobs[4]));
        add(output = knob(kKnobs[5]));
        add(autoOut = onOff(bitmap("lampKey"), kAutoOut, value(kAutoOut), false));
        add(postMeter = onOff(bitmap("lampKey"), kPostMeter, value(kPostMeter), true, layout::postMeter));
        // The panel never draws a background.
        info = new CInfo(toCRect(layout::logo), nullptr, fontNormal);
        add(info);
        {
            Bitmap background(bitmap("background"));
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
        add(meterOvs = onOff(bitmap("meterOvs"), kMeterOvs, value(kMeterOvs), true));
        {
            Bitmap litPeak(bitmap("levelBarLitPeak")), unlitPeak(bitmap("levelBarUnlitPeak"));
            Bitmap litK(bitmap("levelBarLitK")), unlitK(bitmap("levelBarUnlitK"));
            Bitmap inPeak(bitmap("inputScalePeak")), inK14(bitmap("inputScaleK14"));
            Bitmap inK20(bitmap("inputScaleK20")), outPeak(bitmap("outputScalePeak"));
            Bitmap outK14(bitmap("outputScaleK14")), outK20(bitmap("outputScaleK20"));
            meterIn = new CMeterIn(toCRect(layout::inputMeter), this,
                                   LevelMeterBitmaps{litPeak, unlitPeak, litK, unlitK, inPeak, inK14, inK20});
            add(meterIn);
            meterOut = new CMeterOut(toCRect(layout::outputMeter), this,
                                     LevelMeterBitmaps{litPeak, unlitPeak, litK, unlitK, outPeak, outK14, outK20});
            add(meterOut);
        }
        {
            Bitmap bar(bitmap("gainBar")), scale(bitmap("gainScale"));
            meterGR = new CMeterGR(toCRect(layout::gainMeter), bar, scale, this);
            meterGR->setZoom(value(kAttZoom));
            add(meterGR);
        }
        {
            Bitmap background(bitmap("background"));
            lcdIn = new CMeterLCD(toCRect(layout::inputReadout), background, fontNormal, fontRed, this);
            add(lcdIn);
            lcdOut = new CMeterLCD(toCRect(layout::outputReadout), background, fontNormal, fontRed, this);
            add(lcdOut);
            lcdGR = new CMeterLCDGR(toCRect(layout::gainReadout), background, fontNormal, this);
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
    float values[kNumMeterValues];
    plugin()->readMeters(values);
    const MeterReadout m = decodeMeterValues(values);
    if (hasWindow() && meterIn) {
        meterIn->setLevels(now, m.inputPeak[0], m.inputPeak[1], m.inputRms[0], m.inputRms[1]);
        meterOut->setLevels(now, m.outputPeak[0], m.outputPeak[1], m.outputRms[0], m.outputRms[1]);
        meterGR->setLevels(now, m.gain[0], m.gain[1]);
        lcdIn->setLevels(m.inputPeak[0], m.inputPeak[1]);
        lcdOut->setLevels(m.outputPeak[0], m.outputPeak[1]);
        lcdGR->setLevels(m.gain[0], m.gain[1]);
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
