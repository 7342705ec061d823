// The view toolkit offscreen: synthetic mouse, wheel and key events on a
// frame without a window, and the draw context's pixels.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui/CAnimKnob.h"
#include "gui/CButtons.h"
#include "gui/CFrame.h"
#include "gui/CMessageBox.h"
#include "gui/COptionMenu.h"
#include "gui/DisplayText.h"
#include "gui/CTextEdit.h"
#include "gui/GuiClock.h"

using namespace vexal;

namespace {

uint32_t fakeNow = 1000;
uint32_t fakeTicks() { return fakeNow; }

struct Listener : IControlListener {
    std::vector<std::string> log;
    void valueChanged(CControl* c) override {
        log.push_back("changed " + std::to_string(c->getTag()) + " " + std::to_string(c->getValue()));
    }
    void controlBeginEdit(CControl* c) override { log.push_back("begin " + std::to_string(c->getTag())); }
    void controlEndEdit(CControl* c) override { log.push_back("end " + std::to_string(c->getTag())); }
};

// A view that records what reaches it.
struct Probe : CView {
    std::string name;
    std::vector<std::string>* log;
    CMouseEventResult downAnswer = kMouseEventHandled;
    Probe(const CRect& r, std::string n, std::vector<std::string>* l) : CView(r), name(std::move(n)), log(l) {}
    CMouseEventResult onMouseDown(CPoint&, const CButtonState&) override {
        log->push_back(name + " down");
        return downAnswer;
    }
    CMouseEventResult onMouseUp(CPoint&, const CButtonState&) override {
        log->push_back(name + " up");
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseMoved(CPoint&, const CButtonState&) override {
        log->push_back(name + " moved");
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseEntered(CPoint&, const CButtonState&) override {
        log->push_back(name + " entered");
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseExited(CPoint&, const CButtonState&) override {
        log->push_back(name + " exited");
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint&, float d, const CButtonState&) override {
        log->push_back(name + " wheel " + std::to_string(static_cast<int>(d)));
        return true;
    }
};

class Toolkit : public ::testing::Test {
protected:
    void SetUp() override {
        setGuiTickSource(fakeTicks);
        frame = new CFrame(CRect(0, 0, 524, 462), nullptr);
    }
    void TearDown() override {
        frame->forget();
        setGuiTickSource(nullptr);
    }
    void down(CCoord x, CCoord y, uint32_t buttons = kLButton) {
        CPoint p{x, y};
        frame->onMouseDown(p, buttons);
    }
    void up(CCoord x, CCoord y, uint32_t buttons = kLButton) {
        CPoint p{x, y};
        frame->onMouseUp(p, buttons);
    }
    void move(CCoord x, CCoord y, uint32_t buttons = 0) {
        CPoint p{x, y};
        frame->onMouseMoved(p, buttons);
    }
    int32_t key(uint32_t character, int32_t virtualKey = 0,
                CFrame::KeySource source = CFrame::KeySource::window) {
        VstKeyCode k;
        k.character = character;
        k.virtualKey = virtualKey;
        return frame->onKeyDown(k, source);
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) key(static_cast<unsigned char>(*c));
    }
    CFrame* frame = nullptr;
    std::vector<std::string> log;
    Listener listener;
};

uint32_t pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const uint8_t* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    uint32_t v;
    std::memcpy(&v, row + 4 * x, 4);
    return v & 0xFFFFFF;
}

}  // namespace

TEST_F(Toolkit, MouseGoesToTopMostViewAndStaysWithItUntilRelease) {
    auto* a = new Probe(CRect(10, 10, 60, 60), "a", &log);
    auto* b = new Probe(CRect(40, 40, 100, 90), "b", &log);
    auto* hidden = new Probe(CRect(0, 0, 200, 100), "hidden", &log);
    frame->addView(a);
    frame->addView(b);
    frame->addView(hidden);
    hidden->setVisible(false);

    down(50, 50);  // a and b overlap: b was created later and lies above
    move(20, 20, kLButton);  // captured: b hears the move although the pointer is over a
    up(20, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"b down", "b moved", "b up", "a entered"}));

    log.clear();
    b->downAnswer = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    down(70, 70);
    move(20, 20, kLButton);  // no capture: hover follows the pointer
    up(20, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"b down", "a moved"}));
}

TEST_F(Toolkit, EnterAndExitFollowThePointer) {
    frame->addView(new Probe(CRect(10, 10, 60, 60), "a", &log));
    frame->addView(new Probe(CRect(100, 10, 150, 60), "b", &log));
    move(20, 20);
    move(30, 30);
    move(80, 30);  // between the two
    move(120, 30);
    frame->onMouseLeftWindow();
    EXPECT_EQ(log, (std::vector<std::string>{"a entered", "a moved", "a moved", "a exited", "b entered",
                                             "b moved", "b exited"}));
    log.clear();
    EXPECT_TRUE(frame->onWheel(CPoint{20, 20}, -1, 0));
    EXPECT_FALSE(frame->onWheel(CPoint{80, 80}, 1, 0));  // nothing there
    EXPECT_EQ(log, (std::vector<std::string>{"a wheel -1"}));
}

TEST_F(Toolkit, KnobDefaultWheelAndArrowKeys) {
    auto* knob = new CAnimKnob(CRect(10, 10, 50, 50), &listener, 3, 101, 40, nullptr);
    knob->setDefaultValue(0.25f);
    knob->setWheelInc(0.1f);
    knob->setValue(0.5f);
    frame->addView(knob);

    down(20, 20, kLButton | kControl);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
    EXPECT_EQ(listener.log, (std::vector<std::string>{"begin 3", "changed 3 0.250000", "end 3"}));
    down(20, 20, kLButton | kControl);  // already at the default: nobody hears of it
    EXPECT_EQ(listener.log.size(), 3u);

    EXPECT_TRUE(frame->onWheel(CPoint{20, 20}, 2, 0));
    EXPECT_NEAR(knob->getValue(), 0.45f, 1e-6);
    EXPECT_TRUE(frame->onWheel(CPoint{20, 20}, 1, kShift));
    EXPECT_NEAR(knob->getValue(), 0.46f, 1e-6);
    EXPECT_TRUE(frame->onWheel(CPoint{20, 20}, 100, 0));
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);

    // The click gave it the keyboard.
    EXPECT_EQ(frame->getFocusView(), knob);
    EXPECT_EQ(key(0, platform::kKeyDown), 1);
    EXPECT_NEAR(knob->getValue(), 0.9f, 1e-6);
    EXPECT_EQ(key(0, platform::kKeyUp), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(key('x'), -1);

    listener.log.clear();
    down(20, 40);  // a plain drag: 100 pixels up is half the range
    move(20, 30, kLButton);
    up(20, 30);
    EXPECT_EQ(listener.log.front(), "begin 3");
    EXPECT_EQ(listener.log.back(), "end 3");
}

namespace {
bool numberToValue(const char* text, float& v, void*) {
    char* end = nullptr;
    const double x = std::strtod(text, &end);
    if (end == text || *end != 0) return false;
    v = static_cast<float>(x / 100.0);
    return true;
}
bool valueToNumber(float v, char* text, void*) {
    std::snprintf(text, CParamDisplay::kTextBytes, "%.0f", static_cast<double>(v) * 100.0);
    return true;
}
}  // namespace

TEST_F(Toolkit, TextFieldEditsCommitsAndCancels) {
    auto* field = new CTextEdit(CRect(10, 10, 90, 30), &listener, 7);
    field->setStringToValueFunction(numberToValue, nullptr);
    field->setValueToStringFunction(valueToNumber, nullptr);
    field->setMax(10);
    field->setValue(0.5f);
    frame->addView(field);
    frame->addView(new Probe(CRect(100, 10, 150, 60), "elsewhere", &log));

    struct Case {
        const char* name;
        std::vector<VstKeyCode> keys;  // after a click into the field
        bool clickOutside;
        float expected;
        bool told;
    };
    auto chars = [](const char* s) {
        std::vector<VstKeyCode> v;
        for (; *s; ++s) v.push_back(VstKeyCode{static_cast<uint32_t>(*s), 0, 0});
        return v;
    };
    auto vk = [](int32_t k) { return VstKeyCode{0, k, 0}; };
    std::vector<VstKeyCode> edited{vk(platform::kKeyBack), vk(platform::kKeyBack)};  // "50" -> ""
    for (auto k : chars("72")) edited.push_back(k);
    edited.push_back(vk(platform::kKeyHome));
    edited.push_back(vk(platform::kKeyDelete));  // "2"
    edited.push_back(VstKeyCode{'3', 0, 0});      // "32"
    edited.push_back(vk(platform::kKeyEnd));
    edited.push_back(VstKeyCode{'1', 0, 0});  // "321"
    edited.push_back(vk(platform::kKeyBack));  // "32"
    edited.push_back(vk(platform::kKeyReturn));

    const Case cases[] = {
        {"enter commits", edited, false, 0.32f, true},
        {"escape cancels", [&] { auto v = chars("9"); v.push_back(vk(platform::kKeyEscape)); return v; }(),
         false, 0.32f, false},
        {"a click elsewhere commits", chars("0"), true, 3.2f, true},
        {"a refused text keeps the value", [&] { auto v = chars("x"); v.push_back(vk(platform::kKeyReturn)); return v; }(),
         false, 3.2f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        listener.log.clear();
        down(20, 20);
        ASSERT_TRUE(field->isEditingText());
        EXPECT_TRUE(frame->hasTextFocus());
        for (VstKeyCode k : c.keys) frame->onKeyDown(k, CFrame::KeySource::window);
        if (c.clickOutside) down(120, 20);
        EXPECT_FALSE(field->isEditingText());
        EXPECT_FALSE(frame->hasTextFocus());
        EXPECT_EQ(frame->getFocusView(), nullptr);
        EXPECT_NEAR(field->getValue(), c.expected, 1e-6);
        EXPECT_EQ(!listener.log.empty(), c.told);
        // Each key press moved the fake clock on, so none pairs with another.
        fakeNow += 1000;
    }
}

TEST_F(Toolkit, KeysFromHostAndWindowAreTypedOnce) {
    auto* field = new CTextEdit(CRect(10, 10, 90, 30), &listener, 1000, "");
    frame->addView(field);
    // Without a focused field the host's keys are not ours.
    EXPECT_EQ(key('a', 0, CFrame::KeySource::host), -1);
    down(20, 20);
    // The same press delivered both ways, in either order, a repeat from one source.
    EXPECT_EQ(key('a', 0, CFrame::KeySource::host), 1);
    EXPECT_EQ(key('a', 0, CFrame::KeySource::window), 1);
    EXPECT_EQ(key('b', 0, CFrame::KeySource::window), 1);
    EXPECT_EQ(key('b', 0, CFrame::KeySource::host), 1);
    EXPECT_EQ(key('b', 0, CFrame::KeySource::host), 1);
    EXPECT_EQ(key('c', 0, CFrame::KeySource::host), 1);
    fakeNow += 2000;  // too late to be the other half of a press
    EXPECT_EQ(key('c', 0, CFrame::KeySource::window), 1);
    EXPECT_STREQ(field->getEditText(), "abbcc");
    key(0, platform::kKeyReturn);
    EXPECT_STREQ(field->getText(), "abbcc");
}

TEST_F(Toolkit, OptionMenuChoosesInColumnsAndDismisses) {
    auto* menu = new COptionMenu(CRect(120, 10, 133, 22), &listener, 1012, nullptr,
                                 CParamDisplay::kNoDrawStyle);
    menu->setNbItemsPerColumn(12);
    for (int i = 0; i < 24; ++i) menu->addEntry(("Program " + std::to_string(i)).c_str());
    menu->setCurrent(3);
    frame->addView(menu);
    auto* below = new Probe(CRect(0, 0, 119, 100), "below", &log);
    frame->addView(below);

    down(125, 15);
    ASSERT_TRUE(menu->isOpen());
    COptionMenuPopup* popup = menu->getPopup();
    EXPECT_EQ(frame->getOverlayView(), popup);
    // Entry 12 starts the second column, beside entry 0.
    EXPECT_EQ(popup->entryRect(12).top, popup->entryRect(0).top);
    EXPECT_GT(popup->entryRect(12).left, popup->entryRect(0).left);
    EXPECT_EQ(popup->entryRect(11).top - popup->entryRect(0).top, 11 * COptionMenuPopup::kRowHeight);
    // Inside the window whatever its place.
    EXPECT_LE(popup->getViewSize().right, 524);
    EXPECT_GE(popup->getViewSize().left, 0);

    const CRect five = popup->entryRect(5);
    down((five.left + five.right) / 2, (five.top + five.bottom) / 2);
    EXPECT_FALSE(menu->isOpen());
    EXPECT_EQ(frame->getOverlayView(), nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 5);
    EXPECT_EQ(listener.log, (std::vector<std::string>{"begin 1012", "changed 1012 5.000000", "end 1012"}));

    struct Dismissal {
        const char* name;
        std::function<void()> act;
    } dismissals[] = {
        {"escape", [&] { key(0, platform::kKeyEscape); }},
        {"click outside", [&] { down(5, 95); }},
        {"right click on an entry", [&] {
             const CRect r = menu->getPopup()->entryRect(2);
             down(r.left + 2, r.top + 2, kRButton);
         }},
    };
    for (auto& d : dismissals) {
        SCOPED_TRACE(d.name);
        listener.log.clear();
        log.clear();
        menu->popupMenu();
        ASSERT_TRUE(menu->isOpen());
        d.act();
        EXPECT_FALSE(menu->isOpen());
        EXPECT_EQ(menu->getCurrentIndex(), 5);
        EXPECT_TRUE(listener.log.empty());
        EXPECT_TRUE(log.empty());  // the click reached nothing beneath
    }
}

TEST_F(Toolkit, KickRockerAndOnOffButtons) {
    auto* kick = new CKickButton(CRect(0, 0, 20, 20), &listener, 1, 20, nullptr);
    auto* rocker = new CRockerSwitch(CRect(30, 0, 60, 20), &listener, 2, 20, nullptr);
    auto* onOff = new COnOffButton(CRect(70, 0, 90, 20), &listener, 3, nullptr);
    frame->addView(kick);
    frame->addView(rocker);
    frame->addView(onOff);

    struct Step {
        CCoord x;
        bool press;  // else release
        uint32_t buttons;
        std::vector<std::string> heard;
    } steps[] = {
        {5, true, kLButton, {"begin 1", "changed 1 1.000000"}},
        {5, false, kLButton, {"changed 1 0.000000", "end 1"}},
        {5, true, kRButton, {}},
        {40, true, kLButton, {"begin 2", "changed 2 -1.000000"}},
        {40, false, kLButton, {"changed 2 0.000000", "end 2"}},
        {50, true, kLButton, {"begin 2", "changed 2 1.000000"}},
        {50, false, kLButton, {"changed 2 0.000000", "end 2"}},
        {80, true, kLButton, {"begin 3", "changed 3 1.000000", "end 3"}},
        {80, true, kLButton, {"begin 3", "changed 3 0.000000", "end 3"}},
        {80, true, kRButton, {}},
    };
    for (const Step& s : steps) {
        listener.log.clear();
        if (s.press)
            down(s.x, 10, s.buttons);
        else
            up(s.x, 10, s.buttons);
        EXPECT_EQ(listener.log, s.heard) << "at x " << s.x;
    }
}

TEST_F(Toolkit, DrawsOnlyWhatIsDirty) {
    auto* a = new Probe(CRect(10, 10, 60, 60), "a", &log);
    frame->addView(a);
    frame->redrawAll();
    EXPECT_EQ(frame->drawDirty(), 1);
    EXPECT_EQ(frame->drawDirty(), 0);
    a->setDirty();
    EXPECT_EQ(frame->drawDirty(), 1);
    EXPECT_FALSE(a->isDirty());
}

TEST(DrawContext, PixelsOfBitmapsRectanglesAndStrokes) {
    auto* bitmap = new CBitmap(4, 8);
    {
        // Two frames of 4 × 4: red above, blue below.
        CDrawContext c(bitmap->getSurface());
        c.setFillColor(CColor{255, 0, 0, 255});
        c.drawRect(CRect(0, 0, 4, 4), kDrawFilled);
        c.setFillColor(CColor{0, 0, 255, 255});
        c.drawRect(CRect(0, 4, 4, 8), kDrawFilled);
    }
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 40);
    CDrawContext c(target);
    c.setFillColor(CColor{0, 255, 0, 255});
    c.drawRect(CRect(0, 0, 40, 40), kDrawFilled);
    bitmap->draw(&c, CRect(2, 2, 6, 6), CPoint{0, 4});  // the second frame
    EXPECT_EQ(pixel(target, 2, 2), 0x0000FFu);
    EXPECT_EQ(pixel(target, 5, 5), 0x0000FFu);
    EXPECT_EQ(pixel(target, 6, 5), 0x00FF00u);
    EXPECT_EQ(pixel(target, 1, 2), 0x00FF00u);

    c.saveGlobalState();
    c.setFillColor(CColor{255, 255, 255, 255});
    c.setFrameColor(CColor{255, 0, 0, 255});
    c.setLineWidth(3);
    c.drawRect(CRect(10, 10, 30, 30), kDrawFilledAndStroked);
    c.restoreGlobalState();
    for (int x : {10, 11, 12}) EXPECT_EQ(pixel(target, x, 20), 0xFF0000u) << x;
    for (int x : {27, 28, 29}) EXPECT_EQ(pixel(target, x, 20), 0xFF0000u) << x;
    EXPECT_EQ(pixel(target, 13, 20), 0xFFFFFFu);
    EXPECT_EQ(pixel(target, 26, 13), 0xFFFFFFu);
    EXPECT_EQ(pixel(target, 9, 20), 0x00FF00u);
    EXPECT_EQ(pixel(target, 20, 30), 0x00FF00u);

    // The colours and the line width are back.
    EXPECT_EQ(c.getFillColor(), (CColor{0, 255, 0, 255}));
    EXPECT_EQ(c.getFrameColor(), kBlackCColor);
    EXPECT_EQ(c.getLineWidth(), 1);

    // A clip keeps drawing inside it.
    c.setClipRect(CRect(0, 0, 5, 5));
    c.setFillColor(CColor{1, 2, 3, 255});
    c.drawRect(CRect(0, 0, 40, 40), kDrawFilled);
    EXPECT_EQ(pixel(target, 4, 4), 0x010203u);
    EXPECT_EQ(pixel(target, 5, 4), 0x0000FFu);  // the bitmap drawn before
    EXPECT_EQ(pixel(target, 6, 4), 0x00FF00u);

    bitmap->forget();
    cairo_surface_destroy(target);
}

namespace {

// The pixels of an area of a surface, 0x00RRGGBB.
std::vector<uint32_t> pixelsIn(cairo_surface_t* s, const CRect& r) {
    std::vector<uint32_t> out;
    for (int y = static_cast<int>(r.top); y < static_cast<int>(r.bottom); ++y)
        for (int x = static_cast<int>(r.left); x < static_cast<int>(r.right); ++x) out.push_back(pixel(s, x, y));
    return out;
}

size_t differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n;
}

// What a view adds to the picture inside its frame line: the view drawn,
// against the frame drawn without it.
size_t inkOf(CFrame* frame, CView* view) {
    CRect inner = view->getViewSize();
    inner.left += 2;
    inner.top += 2;
    inner.right -= 2;
    inner.bottom -= 2;
    frame->redrawAll();
    frame->drawDirty();
    const auto shown = pixelsIn(frame->getBackBuffer(), inner);
    view->setVisible(false);
    frame->redrawAll();
    frame->drawDirty();
    const auto hidden = pixelsIn(frame->getBackBuffer(), inner);
    view->setVisible(true);
    return differing(shown, hidden);
}

// A bitmap of one colour, its reference handed to whoever takes it.
CBitmap* filledBitmap(int32_t w, int32_t h, CColor colour) {
    auto* bitmap = new CBitmap(w, h);
    CDrawContext c(bitmap->getSurface());
    c.setFillColor(colour);
    c.drawRect(CRect(0, 0, w, h), kDrawFilled);
    return bitmap;
}

bool valueAsWord(float, char* text, void*) {
    std::snprintf(text, CParamDisplay::kTextBytes, "Word");
    return true;
}

}  // namespace

TEST_F(Toolkit, EveryTextViewDrawsInkWithoutAFontOfItsOwn) {
    CBitmap* paper = filledBitmap(524, 462, CColor{200, 200, 200, 255});
    frame->setBackground(paper);
    paper->forget();
    // None of these is given a font: they draw in the toolkit's standard one.
    auto* display = new CParamDisplay(CRect(10, 10, 90, 30));
    display->setValueToStringFunction(valueAsWord, nullptr);
    auto* field = new CTextEdit(CRect(10, 40, 90, 60), &listener, 1, "Name");
    auto* menu = new COptionMenu(CRect(100, 10, 180, 30), &listener, 2);
    for (const char* title : {"First", "Second", "Third"}) menu->addEntry(title);
    for (CView* v : std::initializer_list<CView*>{display, field, menu}) frame->addView(v);
    EXPECT_GT(inkOf(frame, display), 20u);
    EXPECT_GT(inkOf(frame, field), 20u);
    EXPECT_GT(inkOf(frame, menu), 20u);
    // And the open menu: every entry's title, not only the current-entry mark.
    ASSERT_TRUE(menu->popupMenu());
    frame->drawDirty();
    COptionMenuPopup* popup = menu->getPopup();
    for (int32_t i = 0; i < 3; ++i) {
        CRect title = popup->entryRect(i);
        title.left += 12;
        size_t ink = 0;
        for (uint32_t p : pixelsIn(frame->getBackBuffer(), title)) ink += (p & 0xFF) < 0x80;  // dark on light
        EXPECT_GT(ink, 10u) << "entry " << i;
    }
}

TEST_F(Toolkit, RightAndMiddleClicksLeaveAValueFieldAlone) {
    auto* field = new CTextEdit(CRect(10, 10, 90, 30), &listener, 7, "text");
    frame->addView(field);
    for (uint32_t buttons : {kRButton, kMButton, kRButton | kShift}) {
        down(20, 20, buttons);
        EXPECT_FALSE(field->isEditingText()) << buttons;
        EXPECT_EQ(frame->getFocusView(), nullptr);
        EXPECT_FALSE(frame->hasTextFocus());
        EXPECT_EQ(key('x', 0, CFrame::KeySource::host), -1);
    }
    down(20, 20);
    EXPECT_TRUE(field->isEditingText());
}

TEST_F(Toolkit, LongTextShowsItsStartAndKeepsTheCaretInsideWhileEditing) {
    auto* field = new CTextEdit(CRect(10, 10, 134, 24), &listener, 1000, "");
    field->setHoriAlign(kCenterText);
    frame->addView(field);
    // Not editing: a name too long for the field shows its first letters at its left edge.
    field->setText("WWWWWWWWWWWWWWWWWWWWWWWW");
    frame->redrawAll();
    frame->drawDirty();
    int firstInk = -1;
    for (int x = 10; x < 134 && firstInk < 0; ++x)
        for (int y = 12; y < 22; ++y)
            if ((pixel(frame->getBackBuffer(), x, y) & 0xFF) > 0x40) {  // light ink on the black back
                firstInk = x;
                break;
            }
    EXPECT_GE(firstInk, 11);
    EXPECT_LE(firstInk, 14);

    // Editing: every caret position of a long name lies inside the field.
    field->setText("");
    down(20, 15);
    ASSERT_TRUE(field->isEditingText());
    const CRect box = field->getViewSize();
    auto caretInside = [&] {
        frame->drawDirty();
        return field->getCaretX() >= box.left + 1 && field->getCaretX() <= box.right - 2;
    };
    for (int i = 0; i < 24; ++i) {
        key('W');
        fakeNow += 1000;
        EXPECT_TRUE(caretInside()) << "after " << i + 1 << " letters, caret at " << field->getCaretX();
    }
    const CCoord atEnd = field->getCaretX();
    EXPECT_GT(atEnd, box.right - 10);  // scrolled: the caret sits at the right edge
    key(0, platform::kKeyHome);
    EXPECT_TRUE(caretInside());
    EXPECT_LE(field->getCaretX(), box.left + 4);
    for (int i = 0; i < 24; ++i) {
        key(0, platform::kKeyRight);
        EXPECT_TRUE(caretInside()) << i;
    }
    EXPECT_EQ(field->getCaretX(), atEnd);
}

TEST(DrawContext, TextThatIsNotUtf8IsShownAsWindows1252AndNeverBreaksTheContext) {
    struct Case {
        const char* stored;
        const char* shown;  // the same text in UTF-8
    } const cases[] = {
        {"Caf\xe9", "Café"},
        {"\x80 \x8a\x9f \xa0\xff", "€ ŠŸ \xc2\xa0ÿ"},
        {"\xc3\xa9t\xe9", "été"},          // valid UTF-8 is kept, the stray byte read as 1252
        {"Na\xefve \xc3(", "Naïve Ã("},    // a broken sequence: its bytes one by one
        {"\xed\xa0\x80", "í\xc2\xa0€"},    // an encoded surrogate is no UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        char converted[64];
        displayText(c.stored, converted, sizeof converted);
        EXPECT_STREQ(converted, c.shown);

        cairo_surface_t* a = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 120, 20);
        cairo_surface_t* b = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 120, 20);
        {
            CDrawContext stored(a), shown(b);
            for (CDrawContext* c2 : {&stored, &shown}) {
                c2->setFillColor(kWhiteCColor);
                c2->drawRect(CRect(0, 0, 120, 20), kDrawFilled);
            }
            stored.drawString(c.stored, CRect(0, 0, 120, 20), kLeftText);
            shown.drawString(c.shown, CRect(0, 0, 120, 20), kLeftText);
            EXPECT_EQ(stored.getStringWidth(c.stored), shown.getStringWidth(c.shown));
            EXPECT_TRUE(stored.isHealthy());
            // Still drawing: a rectangle after the text lands.
            stored.setFillColor(CColor{1, 2, 3, 255});
            stored.drawRect(CRect(118, 18, 120, 20), kDrawFilled);
            shown.setFillColor(CColor{1, 2, 3, 255});
            shown.drawRect(CRect(118, 18, 120, 20), kDrawFilled);
        }
        EXPECT_EQ(pixelsIn(a, CRect(0, 0, 120, 20)), pixelsIn(b, CRect(0, 0, 120, 20)));
        EXPECT_EQ(pixel(a, 119, 19), 0x010203u);
        cairo_surface_destroy(a);
        cairo_surface_destroy(b);
    }
    // A cut never splits a character.
    char small[4];
    EXPECT_EQ(displayText("a\xe9\xe9", small, sizeof small), 3u);
    EXPECT_STREQ(small, "aé");
}

TEST_F(Toolkit, AFrameWhoseContextFailedMakesANewOneAndDrawsAgain) {
    auto* a = new Probe(CRect(10, 10, 60, 60), "a", &log);
    CBitmap* colour = filledBitmap(50, 50, CColor{1, 2, 3, 255});
    a->setBackground(colour);
    colour->forget();
    frame->addView(a);
    frame->drawDirty();
    // Any cairo error is permanent for a context: here an unbalanced restore.
    cairo_restore(frame->getDrawContext()->getCairo());
    ASSERT_FALSE(frame->getDrawContext()->isHealthy());
    EXPECT_GE(frame->drawDirty(), 1);  // everything again, on a new context
    EXPECT_TRUE(frame->getDrawContext()->isHealthy());
    EXPECT_EQ(pixel(frame->getBackBuffer(), 20, 20), 0x010203u);  // the view's bitmap
    EXPECT_EQ(frame->drawDirty(), 0);
}

TEST_F(Toolkit, MessagesWrapAtWordsInsideABoxSizedToThem) {
    const std::string longText =
        "The preset file could not be written to /home/user/Music/Presets/My mastering presets, "
        "so no program was changed: check the folder's permissions and the free space.";
    const std::string oneWord(120, 'x');
    struct Case {
        std::string text;
        bool wordsWhole;  // every line ends at a space
        int32_t lines;    // at least
    } const cases[] = {
        {"Could not open user manual", true, 1},
        {longText, true, 3},
        {"Path: " + oneWord + " end", false, 2},
        {"First line\nSecond line", true, 2},
    };
    CFontDesc* font = new CFontDesc("Arial", 11);
    CDrawContext* context = frame->getDrawContext();
    CCoord oneLine = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        frame->showMessage(c.text.c_str(), "Could not save preset");
        auto* box = dynamic_cast<CMessageBox*>(frame->getOverlayView());
        ASSERT_NE(box, nullptr);
        ASSERT_GE(box->getLineCount(), c.lines);
        std::string joined;
        context->saveGlobalState();
        context->setFont(font);
        for (int32_t i = 0; i < box->getLineCount(); ++i) {
            char line[CMessageBox::kTextBytes];
            box->getLine(i, line);
            EXPECT_LE(context->getStringWidth(line), CMessageBox::kTextWidth) << line;
            EXPECT_GT(std::strlen(line), 0u);
            if (!joined.empty()) joined += c.wordsWhole ? " " : "";
            joined += line;
        }
        context->restoreGlobalState();
        std::string expected = c.text;
        std::replace(expected.begin(), expected.end(), '\n', ' ');
        if (!c.wordsWhole) expected.erase(std::remove(expected.begin(), expected.end(), ' '), expected.end());
        if (!c.wordsWhole) joined.erase(std::remove(joined.begin(), joined.end(), ' '), joined.end());
        EXPECT_EQ(joined, expected);
        // The box holds its lines, centred in the window, and grows with them.
        const CRect r = box->getViewSize();
        EXPECT_EQ(r.getWidth(), CMessageBox::kBoxWidth);
        EXPECT_EQ(r.left + r.right, 524);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.bottom, 462);
        EXPECT_GE(r.getHeight(), 15 * box->getLineCount() + 40);
        if (box->getLineCount() == 1) oneLine = r.getHeight();
        EXPECT_EQ(r.getHeight(), oneLine + 15 * (box->getLineCount() - 1));
        frame->drawDirty();
        EXPECT_TRUE(context->isHealthy());
        key(0, platform::kKeyReturn);
        EXPECT_FALSE(frame->isShowingMessage());
    }
    font->forget();
}
