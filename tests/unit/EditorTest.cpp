// The editor window offscreen: its controls bound to a real effect, driven
// with synthetic mouse and key events and a hand-stepped clock; what the
// host hears is read from the effect's host callback.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "../support/SmallFilesystem.h"
#include "core/ParameterTable.h"
#include "core/Plugin.h"
#include "editor/CInfo.h"
#include "editor/CLevelMeter.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterLCD.h"
#include "editor/CMyKnob.h"
#include "editor/Editor.h"
#include "editor/VexalSwitches.h"
#include "gui/CFrame.h"
#include "gui/CMessageBox.h"
#include "gui/CTextEdit.h"
#include "gui/GuiClock.h"
#include "platform/FileReplacement.h"

namespace vexal {
namespace {

uint32_t clockNow = 10000;
uint32_t clockTicks() { return clockNow; }

struct HostEvent {
    int32_t opcode;
    int32_t index;
    float value;
};
std::vector<HostEvent> hostEvents;

intptr_t recordingHost(vst::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    if (opcode == vst::audioMasterVersion) return 2400;
    if (opcode == vst::audioMasterAutomate || opcode == vst::audioMasterBeginEdit ||
        opcode == vst::audioMasterEndEdit)
        hostEvents.push_back({opcode, index, opt});
    return 0;
}

// Creation order of the window's controls.
enum Control {
    kDetectorOrderSwitch = 0, kOversampleSwitch, kModeSwitch, kQuantizeSwitch, kAutoblackSwitch,
    kBitsSwitch, kNoiseShapeSwitch, kCalibrateSwitch, kAttZoomSwitch, kShowStageOne, kShowStageTwo,
    kShowLeveller, kTransientKnob, kReleaseKnob, kLevellerKnob, kLinkKnob, kTransShapeSwitch,
    kPowerSwitch, kDriveKnob, kOutputKnob, kAutoOutSwitch, kPostMeterSwitch, kInfoPanel,
    kDriveField, kOutputField, kTransientField, kReleaseField, kLevellerField, kLinkField,
    kMeterOvsSwitch, kInputMeter, kOutputMeter, kReductionMeter, kInputReadout, kOutputReadout,
    kReductionReadout,
};

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setGuiTickSource(clockTicks);
        hostEvents.clear();
        plugin = std::make_unique<Plugin>(recordingHost, makeEditor);
        editor = dynamic_cast<Editor*>(plugin->presetEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->openOffscreen());
        frame = editor->getFrame();
        editor->pump();
        hostEvents.clear();
    }
    void TearDown() override {
        plugin.reset();
        setGuiTickSource(nullptr);
    }
    CControl* control(Control c) const { return editor->control(c); }
    CPoint centre(Control c) const {
        const CRect& r = control(c)->getViewSize();
        return CPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void click(CPoint p, uint32_t buttons = kLButton) {
        frame->onMouseDown(p, buttons);
        frame->onMouseUp(p, buttons & ~kButtonMask);
        editor->pump();
    }
    void click(Control c, uint32_t buttons = kLButton) { click(centre(c), buttons); }
    void setParameter(int32_t index, float v) {
        plugin->setParameter(index, v);
        editor->pump();
    }
    std::vector<HostEvent> automation() const {
        std::vector<HostEvent> a;
        for (const HostEvent& e : hostEvents)
            if (e.opcode == vst::audioMasterAutomate) a.push_back(e);
        return a;
    }

    std::unique_ptr<Plugin> plugin;
    Editor* editor = nullptr;
    CFrame* frame = nullptr;
};

TEST_F(EditorWindow, BuildsEveryControlAtItsPlaceAndRebuildsWithCurrentValues) {
    struct Expected {
        Control control;
        CRect rect;
        int32_t tag;
    } const expected[] = {
        {kDetectorOrderSwitch, CRect(44, 40, 77, 59), 7},   {kOversampleSwitch, CRect(81, 40, 114, 59), 6},
        {kModeSwitch, CRect(223, 305, 258, 361), 9},        {kQuantizeSwitch, CRect(412, 40, 445, 59), 16},
        {kAutoblackSwitch, CRect(449, 40, 482, 59), 17},    {kBitsSwitch, CRect(412, 78, 445, 97), 10},
        {kNoiseShapeSwitch, CRect(449, 78, 482, 97), 11},   {kCalibrateSwitch, CRect(269, 341, 302, 360), 12},
        {kAttZoomSwitch, CRect(269, 265, 302, 284), 19},    {kShowStageOne, CRect(224, 265, 257, 284), 28},
        {kShowStageTwo, CRect(224, 230, 257, 249), 29},     {kShowLeveller, CRect(269, 230, 302, 249), 30},
        {kTransientKnob, CRect(55, 169, 105, 217), 2},      {kReleaseKnob, CRect(56, 267, 105, 314), 3},
        {kLevellerKnob, CRect(421, 169, 469, 216), 13},     {kLinkKnob, CRect(421, 267, 469, 314), 5},
        {kTransShapeSwitch, CRect(38, 121, 128, 146), 4},   {kPowerSwitch, CRect(245, 400, 280, 435), 8},
        {kDriveKnob, CRect(52, 349, 108, 404), 1},          {kOutputKnob, CRect(417, 349, 475, 405), 0},
        {kAutoOutSwitch, CRect(394, 368, 412, 392), 15},    {kPostMeterSwitch, CRect(116, 368, 134, 392), 21},
        {kInfoPanel, CRect(224, 370, 301, 401), 0},         {kDriveField, CRect(43, 409, 117, 427), 1},
        {kOutputField, CRect(410, 409, 484, 427), 0},       {kTransientField, CRect(45, 221, 119, 239), 2},
        {kReleaseField, CRect(45, 319, 119, 337), 3},       {kLevellerField, CRect(411, 221, 485, 239), 13},
        {kLinkField, CRect(411, 319, 485, 337), 5},         {kMeterOvsSwitch, CRect(269, 307, 302, 326), 14},
        {kInputMeter, CRect(147, 38, 207, 408), 27},        {kOutputMeter, CRect(319, 38, 379, 406), 27},
        {kReductionMeter, CRect(233, 39, 291, 192), 27},    {kInputReadout, CRect(131, 415, 224, 426), 27},
        {kOutputReadout, CRect(303, 415, 396, 426), 27},    {kReductionReadout, CRect(217, 199, 310, 210), 27},
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const Expected& e : expected) {
            SCOPED_TRACE(e.control);
            ASSERT_NE(control(e.control), nullptr);
            EXPECT_EQ(frame->getView(e.control), control(e.control));  // creation order
            EXPECT_EQ(control(e.control)->getViewSize(), e.rect);
            EXPECT_EQ(control(e.control)->getTag(), e.tag);
        }
        EXPECT_EQ(frame->getNbViews(), Editor::kNumControls + 14);  // and the preset bar's
        EXPECT_EQ(control(kDriveKnob)->getValue(), plugin->getParameter(kDrive));
        EXPECT_EQ(control(kPowerSwitch)->getValue(), plugin->getParameter(kPower));
        // Closed, the editor keeps nothing; reopened, it shows the current values.
        editor->close();
        EXPECT_EQ(editor->getFrame(), nullptr);
        EXPECT_EQ(editor->control(0), nullptr);
        plugin->setParameter(kDrive, 0.3f);
        plugin->setParameter(kPower, 0.25f);
        ASSERT_TRUE(editor->openOffscreen());
        frame = editor->getFrame();
        EXPECT_FLOAT_EQ(control(kDriveKnob)->getValue(), 0.3f);
        EXPECT_FLOAT_EQ(control(kPowerSwitch)->getValue(), 0.25f);
    }
}

TEST_F(EditorWindow, ShowSwitchesEditOneBitOfTheMask) {
    setParameter(kAttShow, stepValue(7, 8));
    click(kShowStageOne);
    ASSERT_EQ(automation().size(), 1u);
    EXPECT_EQ(automation()[0].index, kAttShow);
    EXPECT_FLOAT_EQ(automation()[0].value, 0.8125f);
    EXPECT_FLOAT_EQ(control(kShowStageOne)->getValue(), 0.25f);
    EXPECT_FLOAT_EQ(control(kShowStageTwo)->getValue(), 0.75f);
    EXPECT_FLOAT_EQ(control(kShowLeveller)->getValue(), 0.75f);
}

TEST_F(EditorWindow, MeterModeFollowsTypeAndScale) {
    struct Step {
        float type, scale;
        int32_t mode;
    } const steps[] = {
        {stepValue(1, 2), stepValue(1, 3), 2},  // K-14
        {stepValue(0, 2), stepValue(1, 3), 0},  // peak whatever the scale
        {stepValue(0, 2), stepValue(2, 3), 0},
        {stepValue(1, 2), stepValue(2, 3), 3},  // K-20
        {stepValue(1, 2), stepValue(0, 3), 1},  // K-12
    };
    for (const Step& s : steps) {
        setParameter(kMeterType, s.type);
        setParameter(kScale, s.scale);
        EXPECT_EQ(editor->inputMeter()->getMode(), s.mode);
        EXPECT_EQ(editor->outputMeter()->getMode(), s.mode);
        EXPECT_EQ(editor->inputReadout()->getMode(), s.mode);
        EXPECT_EQ(editor->outputReadout()->getMode(), s.mode);
    }
}

TEST_F(EditorWindow, IdleWorksAtMostEvery40Milliseconds) {
    const uint32_t before = editor->servicedIdles();
    for (int i = 0; i < 40; ++i) {  // 400 ms of host idle calls 10 ms apart
        clockNow += 10;
        editor->hostIdle();
    }
    EXPECT_EQ(editor->servicedIdles() - before, 10u);  // every fourth
    const uint32_t timerOnly = editor->servicedIdles();
    for (int i = 0; i < 10; ++i) {  // the 30 ms timer alone: every second tick works
        clockNow += 30;
        editor->pump();
    }
    EXPECT_EQ(editor->servicedIdles() - timerOnly, 5u);
}

TEST_F(EditorWindow, ValueFieldsReadTypedNumbers) {
    struct Case {
        Control field;
        int32_t parameter;
        const char* typed;
        float value;
        const char* shown;
    } const cases[] = {
        {kOutputField, kOutput, "-30", 0.0f, "-12.00dB"},
        {kLevellerField, kLeveller, "OFF", 1.0f, "off"},
        {kReleaseField, kRelease, "5000", 1.0f, "1000.0ms"},
        {kDriveField, kDrive, "-3.5", 20.5f / 48.0f, "-3.50dB"},
        {kDriveField, kDrive, "+6 dB", 30.0f / 48.0f, "+6.00dB"},
        {kTransientField, kTransient, "150", 1.0f, "100.0%"},
        {kLinkField, kLink, "-1", 0.0f, "0.0%"},
        // Texts that name no number keep the value.
        {kDriveField, kDrive, "", 30.0f / 48.0f, "+6.00dB"},
        {kDriveField, kDrive, "abc", 30.0f / 48.0f, "+6.00dB"},
        {kDriveField, kDrive, "1e999", 30.0f / 48.0f, "+6.00dB"},
        {kDriveField, kDrive, "nan", 30.0f / 48.0f, "+6.00dB"},
        {kDriveField, kDrive, "3,5", 30.0f / 48.0f, "+6.00dB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        auto* field = static_cast<CTextEdit*>(control(c.field));
        click(c.field);  // editing starts with the text shown; erase it
        for (int i = 0; i < 20; ++i)
            frame->onKeyDown(VstKeyCode{0, platform::kKeyBack, 0}, CFrame::KeySource::window);
        for (const char* p = c.typed; *p; ++p)
            frame->onKeyDown(VstKeyCode{static_cast<uint32_t>(*p), 0, 0}, CFrame::KeySource::window);
        frame->onKeyDown(VstKeyCode{0, platform::kKeyReturn, 0}, CFrame::KeySource::window);
        editor->pump();
        EXPECT_FLOAT_EQ(plugin->getParameter(c.parameter), c.value);
        char text[CParamDisplay::kTextBytes];
        field->getDisplayText(text);
        EXPECT_STREQ(text, c.shown);
        clockNow += 1000;
    }
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

TEST_F(EditorWindow, SwitchesSendTheCentreOfTheirNextStep) {
    struct Case {
        Control control;
        int32_t parameter;
        float before;
        std::vector<float> sent;  // one click each
    } const cases[] = {
        {kPowerSwitch, kPower, 0.75f, {0.25f, 0.75f}},
        {kPowerSwitch, kPower, 1.0f, {0.25f}},  // 1.0 counts as on
        {kOversampleSwitch, kOversample, 0.75f, {0.0f, 1.0f}},
        {kBitsSwitch, kBits, stepValue(0, 3), {stepValue(1, 3), stepValue(2, 3), stepValue(0, 3)}},
        {kNoiseShapeSwitch, kNoiseShape, stepValue(0, 4),
         {stepValue(1, 4), stepValue(2, 4), stepValue(3, 4), stepValue(0, 4)}},
        {kAutoblackSwitch, kAutoblack, stepValue(0, 2), {stepValue(1, 2), stepValue(0, 2)}},
        {kCalibrateSwitch, kCalibrate, stepValue(0, 4),
         {stepValue(1, 4), stepValue(2, 4), stepValue(3, 4), stepValue(0, 4)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        setParameter(c.parameter, c.before);
        for (float v : c.sent) {
            hostEvents.clear();
            click(c.control);
            ASSERT_EQ(automation().size(), 1u);
            EXPECT_EQ(automation()[0].index, c.parameter);
            EXPECT_FLOAT_EQ(automation()[0].value, v);
        }
    }
    // A right click on a plain switch is not handled.
    CPoint p = centre(kPowerSwitch);
    EXPECT_EQ(control(kPowerSwitch)->onMouseDown(p, kRButton), kMouseEventNotHandled);
}

TEST_F(EditorWindow, ModeSwitchHalvesAndSpeedSquares) {
    setParameter(kMeterType, stepValue(0, 2));
    setParameter(kScale, stepValue(1, 3));  // peak, K-14 remembered
    const CRect r = control(kModeSwitch)->getViewSize();
    const CPoint lower{r.left + 10, r.bottom - 5};
    click(lower);
    ASSERT_EQ(automation().size(), 1u);
    EXPECT_EQ(automation()[0].index, kMeterType);
    EXPECT_FLOAT_EQ(automation()[0].value, 0.75f);
    EXPECT_EQ(editor->meterDisplayMode(), 2);
    hostEvents.clear();
    click(lower);
    ASSERT_EQ(automation().size(), 2u);
    EXPECT_EQ(automation()[0].index, kScale);
    EXPECT_FLOAT_EQ(automation()[0].value, stepValue(2, 3));
    EXPECT_EQ(automation()[1].index, kMeterType);
    EXPECT_EQ(editor->meterDisplayMode(), 3);
    hostEvents.clear();
    click(CPoint{r.left + 10, r.top + 28});  // the middle band
    EXPECT_TRUE(automation().empty());
    click(CPoint{r.left + 10, r.top + 5});
    ASSERT_EQ(automation().size(), 1u);
    EXPECT_FLOAT_EQ(automation()[0].value, 0.25f);
    EXPECT_EQ(editor->meterDisplayMode(), 0);

    setParameter(kTransShape, stepValue(0, 3));
    hostEvents.clear();
    click(CPoint{57, 130});  // between A and B
    EXPECT_TRUE(automation().empty());
    EXPECT_FLOAT_EQ(plugin->getParameter(kTransShape), stepValue(0, 3));
    click(CPoint{72, 140});  // B's corner
    click(CPoint{122, 123});  // C's corner
    ASSERT_EQ(automation().size(), 2u);
    EXPECT_FLOAT_EQ(automation()[0].value, stepValue(1, 3));
    EXPECT_FLOAT_EQ(automation()[1].value, stepValue(2, 3));
}

TEST_F(EditorWindow, CalibrationBlinksFromTheClick) {
    auto* calib = editor->calibrationSwitch();
    clockNow = 1000;
    calib->tick(1000);
    click(kCalibrateSwitch);
    EXPECT_FLOAT_EQ(plugin->getParameter(kCalibrate), 0.375f);
    struct Frame {
        uint32_t tick;
        int32_t row;
    } const frames[] = {{1000, 76}, {1255, 76}, {1256, 19}, {1511, 19}, {1512, 76}};
    for (const Frame& f : frames) {
        calib->tick(f.tick);
        EXPECT_EQ(calib->sourceRow(), f.row) << f.tick;
        EXPECT_TRUE(calib->isDirty());
    }
    for (int i = 0; i < 3; ++i) click(kCalibrateSwitch);
    EXPECT_FLOAT_EQ(plugin->getParameter(kCalibrate), 0.125f);
    calib->setDirty(false);
    calib->tick(1600);
    EXPECT_EQ(calib->sourceRow(), 0);
    EXPECT_FALSE(calib->isDirty());  // off: no more blinking
}

TEST_F(EditorWindow, KnobDragsLinearlyAndShiftKeepsTheValue) {
    setParameter(kDrive, 0.2f);
    const CPoint start = centre(kDriveKnob);
    CPoint p = start;
    frame->onMouseDown(p, kLButton);
    p.y -= 100;
    frame->onMouseMoved(p, kLButton);
    EXPECT_NEAR(control(kDriveKnob)->getValue(), 0.45f, 1e-6);
    p.y -= 1;
    frame->onMouseMoved(p, kLButton | kShift);  // Shift pressed halfway: no jump
    EXPECT_NEAR(control(kDriveKnob)->getValue(), 0.2f + 101.0f / 400, 1e-6);
    p.y -= 99;
    frame->onMouseMoved(p, kLButton | kShift);  // the rest 2.5 times slower
    EXPECT_NEAR(control(kDriveKnob)->getValue(), 0.2f + 101.0f / 400 + 99.0f / 1000, 1e-6);
    frame->onMouseUp(p, 0);
    editor->pump();
    EXPECT_FLOAT_EQ(plugin->getParameter(kDrive), control(kDriveKnob)->getValue());
    // The host sees one gesture.
    ASSERT_FALSE(hostEvents.empty());
    EXPECT_EQ(hostEvents.front().opcode, vst::audioMasterBeginEdit);
    EXPECT_EQ(hostEvents.back().opcode, vst::audioMasterEndEdit);

    // Control-click: the default.
    click(kDriveKnob, kLButton | kControl);
    EXPECT_FLOAT_EQ(plugin->getParameter(kDrive), 0.5f);
    // 0.995 on a knob of 47-pixel frames draws row 4653 (frame 99).
    setParameter(kLeveller, 0.995f);
    EXPECT_EQ(static_cast<CMyKnob*>(control(kLevellerKnob))->sourceRow(), 4653);
}

TEST_F(EditorWindow, InfoPanelShowsTheLatencyAndSwallowsTheNextClick) {
    auto* info = editor->infoPanel();
    plugin->setSampleRate(44100.0f);
    editor->pump();
    click(kInfoPanel);
    ASSERT_TRUE(info->isOpen());
    EXPECT_EQ(info->getLatency(), 159);
    EXPECT_EQ(frame->getOverlayView(), info);
    const float power = plugin->getParameter(kPower);
    plugin->setSampleRate(96000.0f);
    editor->pump();
    EXPECT_EQ(info->getLatency(), 287);
    hostEvents.clear();
    click(kPowerSwitch);
    EXPECT_FALSE(info->isOpen());
    EXPECT_EQ(plugin->getParameter(kPower), power);
    EXPECT_TRUE(automation().empty());
    // Closed with the panel open, reopened: the panel is closed.
    click(kInfoPanel);
    editor->close();
    ASSERT_TRUE(editor->openOffscreen());
    EXPECT_FALSE(editor->infoPanel()->isOpen());
    EXPECT_EQ(editor->getFrame()->getOverlayView(), nullptr);
    EXPECT_EQ(editor->infoPanel()->getLatency(), 287);
}

TEST_F(EditorWindow, MetersResetOnALeftClickOnly) {
    editor->inputReadout()->setLevels(2.0f, 1.0f);
    ASSERT_GT(editor->inputReadout()->maxPeakDb(0), 6.0f);
    click(kOutputMeter, kRButton);
    EXPECT_GT(editor->inputReadout()->maxPeakDb(0), 6.0f);
    click(kOutputMeter);
    EXPECT_EQ(editor->inputReadout()->maxPeakDb(0), -120.0f);
    EXPECT_TRUE(automation().empty());
}

TEST_F(EditorWindow, RightClickOnAMeteringSwitchStoresTheSetUpAndHighlights) {
    const std::filesystem::path prefs = std::filesystem::path(std::getenv("VEXAL_CONFIG_DIR")) / "PREFS";
    std::filesystem::remove_all(prefs);
    setParameter(kScale, stepValue(2, 3));
    setParameter(kMeterType, stepValue(1, 2));
    setParameter(kAttZoom, stepValue(1, 2));
    setParameter(kAttShow, stepValue(4, 8));
    setParameter(kMeterOvs, stepValue(1, 2));
    setParameter(kPostMeter, stepValue(1, 2));
    const float zoom = plugin->getParameter(kAttZoom);
    click(kAttZoomSwitch, kRButton);
    EXPECT_EQ(plugin->getParameter(kAttZoom), zoom);  // nothing toggles
    EXPECT_TRUE(automation().empty());
    struct Stored {
        const char* name;
        int32_t value;
    } const stored[] = {{"Metering_Scale", 2}, {"Metering_Type", 1}, {"Metering_Zoom", 1},
                        {"Metering_AttShow", 4}, {"Metering_Recon", 1}, {"Metering_Post", 1}};
    for (const Stored& s : stored) {
        std::ifstream file(prefs / s.name, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_EQ(bytes.size(), 4u) << s.name;
        int32_t v;
        std::memcpy(&v, bytes.data(), 4);
        EXPECT_EQ(v, s.value) << s.name;
    }
    for (Control c : {kShowStageOne, kShowStageTwo, kShowLeveller, kAttZoomSwitch, kMeterOvsSwitch, kPostMeterSwitch})
        EXPECT_TRUE(static_cast<CVexalButton*>(control(c))->isHighlighted()) << c;
    EXPECT_TRUE(editor->modeSwitch()->isHighlighted());
    EXPECT_FALSE(static_cast<CVexalButton*>(control(kPowerSwitch))->isHighlighted());
    clockNow += 500;
    editor->hostIdle();
    EXPECT_TRUE(editor->modeSwitch()->isHighlighted());
    clockNow += 41;
    editor->hostIdle();
    EXPECT_FALSE(editor->modeSwitch()->isHighlighted());
    EXPECT_FALSE(static_cast<CVexalButton*>(control(kAttZoomSwitch))->isHighlighted());

    // A new instance starts with the stored set-up.
    Plugin second(recordingHost, makeEditor);
    const char* const texts[][2] = {{"9", "K-20"}, {"18", "k-system"}, {"19", "12dB"},
                                    {"20", "L"},   {"14", "on"},       {"21", "post"}};
    for (auto& t : texts) {
        char text[64] = {};
        second.getParameterDisplay(std::atoi(t[0]), text);
        EXPECT_STREQ(text, t[1]) << t[0];
    }
    std::filesystem::remove_all(prefs);
}

// A save that did not write all six values shows no highlight and says
// which value failed and why.
TEST_F(EditorWindow, AFailedMeteringSaveShowsNoHighlightAndSaysWhich) {
    using platform::testhook::FaultAt;
    const std::string config = std::getenv("VEXAL_CONFIG_DIR");
    const std::filesystem::path prefs = std::filesystem::path(config) / "PREFS";
    std::filesystem::remove_all(prefs);
    auto highlighted = [&] {
        bool any = editor->modeSwitch()->isHighlighted();
        for (Control c : {kShowStageOne, kShowStageTwo, kShowLeveller, kAttZoomSwitch, kMeterOvsSwitch, kPostMeterSwitch})
            any = any || static_cast<CVexalButton*>(control(c))->isHighlighted();
        return any;
    };
    auto message = [&] {
        auto* box = dynamic_cast<CMessageBox*>(frame->getOverlayView());
        return box ? box->getText() : std::string();
    };
    auto dismiss = [&] {
        CPoint anywhere{5, 5};
        frame->onMouseDown(anywhere, kLButton);
    };

    platform::testhook::injectFault(FaultAt::write, ENOSPC);
    click(kAttZoomSwitch, kRButton);
    platform::testhook::clearFault();
    EXPECT_FALSE(highlighted());
    EXPECT_EQ(message(), "The metering set-up was not saved: \"Metering_Scale\", \"Metering_Type\", "
                         "\"Metering_Zoom\", \"Metering_AttShow\", \"Metering_Recon\", \"Metering_Post\" could not be "
                         "written (" + (prefs / "Metering_Scale").string() + " cannot be written: no space left on device).");
    dismiss();

    // The fourth value cannot be written: the others are, the highlight is not shown.
    std::filesystem::create_directories(prefs / "Metering_AttShow");
    click(kMeterOvsSwitch, kRButton);
    EXPECT_FALSE(highlighted());
    EXPECT_NE(message().find("saved: \"Metering_AttShow\" could not be written"), std::string::npos) << message();
    EXPECT_NE(message().find("is a folder, not a file"), std::string::npos) << message();
    EXPECT_TRUE(std::filesystem::exists(prefs / "Metering_Zoom"));
    EXPECT_TRUE(std::filesystem::exists(prefs / "Metering_Post"));
    dismiss();
    std::filesystem::remove_all(prefs);

    // A settings folder that is really read-only.
    EXPECT_SMALL_FILESYSTEM_PASSES(testsupport::withSmallFilesystem(config, 64 * 1024, [&] {
        ASSERT_TRUE(testsupport::remountReadOnly(config));
        click(kPostMeterSwitch, kRButton);
        EXPECT_FALSE(highlighted());
        EXPECT_NE(message().find("read-only file system"), std::string::npos) << message();
    }));
}

TEST_F(EditorWindow, HostValuesOutsideTheRangeNeverLeaveTheArtwork) {
    const float bad[] = {-1.0f, 1.5f, 7.0f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity()};
    for (float v : bad) {
        for (int32_t i = 0; i < kNumStoredParams; ++i) editor->setParameter(i, v);
        editor->pump();
        for (Control k : {kTransientKnob, kReleaseKnob, kLevellerKnob, kLinkKnob, kDriveKnob, kOutputKnob}) {
            auto* knob = static_cast<CMyKnob*>(control(k));
            const int32_t row = knob->sourceRow();
            EXPECT_GE(row, 0);
            EXPECT_LE(row, 100 * static_cast<int32_t>(knob->getHeightOfOneImage())) << v;
        }
        EXPECT_GE(editor->modeSwitch()->frameIndex(), 0);
        EXPECT_LE(editor->modeSwitch()->frameIndex(), 6);
        EXPECT_LE(static_cast<CVexalButton*>(control(kPowerSwitch))->frameIndex(), 2);
        EXPECT_LE(editor->calibrationSwitch()->sourceRow(), 57 + 3 * 19);
        frame->redrawAll();
        frame->drawDirty();
    }
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

TEST_F(EditorWindow, AtRestThePollsRedrawNothing) {
    for (int i = 0; i < 10; ++i) {  // silence: the meters settle
        clockNow += 50;
        editor->hostIdle();
    }
    for (int i = 0; i < 5; ++i) {
        clockNow += 50;
        editor->idle();  // the service alone: what it marks is what the next draw redraws
        for (int32_t c = 0; c < Editor::kNumControls; ++c)
            EXPECT_FALSE(control(static_cast<Control>(c))->isDirty()) << c;
        EXPECT_EQ(frame->drawDirty(), 0);
    }
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

// What a view adds to the window inside its edges: drawn, against hidden.
size_t inkOf(CFrame* frame, CView* view) {
    const CRect r = view->getViewSize();
    auto grab = [&] {
        frame->redrawAll();
        frame->drawDirty();
        cairo_surface_t* s = frame->getBackBuffer();
        std::vector<uint32_t> pixels;
        for (int y = static_cast<int>(r.top) + 2; y < static_cast<int>(r.bottom) - 2; ++y)
            for (int x = static_cast<int>(r.left) + 2; x < static_cast<int>(r.right) - 2; ++x) {
                uint32_t v;
                std::memcpy(&v, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x, 4);
                pixels.push_back(v & 0xFFFFFF);
            }
        return pixels;
    };
    const auto shown = grab();
    view->setVisible(false);
    const auto hidden = grab();
    view->setVisible(true);
    size_t n = 0;
    for (size_t i = 0; i < shown.size(); ++i) n += shown[i] != hidden[i];
    return n;
}

TEST_F(EditorWindow, EveryViewThatShowsTextDrawsIt) {
    int textViews = 0;
    for (int32_t i = 0; i < frame->getNbViews(); ++i) {
        auto* display = dynamic_cast<CParamDisplay*>(frame->getView(i));
        if (!display || (display->getStyle() & (CParamDisplay::kNoDrawStyle | CParamDisplay::kNoTextStyle))) continue;
        ++textViews;
        EXPECT_GT(inkOf(frame, display), 20u) << "view " << i << " tag " << display->getTag();
    }
    EXPECT_EQ(textViews, 7);  // six value fields and the program name
}

}  // namespace
}  // namespace vexal
