// Text in the window as a user meets it: the program menu's names, and
// program names in a Windows code page, which must show as what they spell
// and never stop the window from drawing (or make it leak) afterwards.
#include "EditorHostFixture.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cstring>

namespace edhost {
namespace {

constexpr Area kNameField{194, 447, 318, 461};
constexpr Area kMenuArrow{320, 448, 333, 460};

size_t darkPixels(const std::vector<uint32_t>& pixels) {
    return size_t(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) {
        return ((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
    }));
}

TEST_F(EditorHostTest, TheProgramMenuOpensWithItsTwentyFourNames) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    idleFor(fx, 60, 100);
    const auto closed = pixelsOf(editor);
    click(editor, kMenuArrow.centreX(), kMenuArrow.centreY());
    moveTo(editor, 5, 5);  // off the menu: no entry is highlighted
    idleFor(fx, 60, 200);
    const auto open = pixelsOf(editor);
    // The menu is what changed.
    Area box{kWidth, kHeight, 0, 0};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (open[size_t(y * kWidth + x)] != closed[size_t(y * kWidth + x)]) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    // Two columns of twelve rows of 14 pixels inside a one-pixel edge.
    ASSERT_EQ(box.bottom - box.top, 12 * 14 + 2);
    const int column = (box.right - box.left - 2) / 2;
    for (int entry = 0; entry < 24; ++entry) {
        SCOPED_TRACE(entry);
        const int left = box.left + 1 + (entry / 12) * column + 12;  // after the current-entry mark
        const int top = box.top + 1 + (entry % 12) * 14;
        const auto title = pixelsOf(editor, {left, top, left + column - 12, top + 14});
        EXPECT_GE(darkPixels(title), 12u) << "no name drawn";
    }
    tap(XK_Escape);
    idleFor(fx, 60, 100);
    EXPECT_EQ(pixelsOf(editor), closed);
    fx.dispatch(vst::effEditClose);
}

TEST_F(EditorHostTest, ALatin1NameShowsAsItsTextAndTheWindowKeepsDrawingWithoutLeaking) {
    // How each instance gets its name: from the host, or in a chunk from another.
    std::string latin1 = "Caf\xe9";
    std::string utf8 = "Café";
    Instance byName(host), byUtf8(host), byChunk(host);
    for (Instance* fx : {&byName, &byUtf8, &byChunk}) prepare(*fx);
    byName.dispatch(vst::effSetProgramName, 0, 0, latin1.data());
    byUtf8.dispatch(vst::effSetProgramName, 0, 0, utf8.data());
    void* chunk = nullptr;
    const intptr_t bytes = byName.dispatch(vst::effGetChunk, 0, 0, &chunk);
    ASSERT_GT(bytes, 0);
    std::vector<uint8_t> copy(static_cast<uint8_t*>(chunk), static_cast<uint8_t*>(chunk) + bytes);
    ASSERT_EQ(byChunk.dispatch(vst::effSetChunk, 0, bytes, copy.data()), 0);
    EXPECT_EQ(byChunk.stringRequest(vst::effGetProgramName), latin1);  // kept as its bytes

    std::vector<std::vector<uint32_t>> names;
    Window parent = 0;
    for (Instance* fx : {&byUtf8, &byChunk, &byName}) {  // the last stays open
        parent = makeParent();
        ASSERT_EQ(open(*fx, parent), 1);
        settle(*fx, parent);
        idleFor(*fx, 60, 100);
        names.push_back(pixelsOf(childrenOf(parent).at(0), kNameField));
        if (fx == &byName) break;
        fx->dispatch(vst::effEditClose);
        destroyParent(parent);
    }
    EXPECT_GE(darkPixels(names[0]), 20u);
    EXPECT_EQ(names[1], names[0]) << "the name from the chunk is not shown as Café";
    EXPECT_EQ(names[2], names[0]) << "the name from the host is not shown as Café";

    // The window still draws: a Power click shows.
    const Window editor = childrenOf(parent).at(0);
    const auto powerBefore = pixelsOf(editor, kPowerSwitch);
    click(editor, kPowerSwitch.centreX(), kPowerSwitch.centreY());
    EXPECT_TRUE(idleUntil(byName, [&] { return pixelsOf(editor, kPowerSwitch) != powerBefore; }));

    // Hundreds of redraws hold no more memory than a few.
    if (testhost::realtimeGuardActive()) {
        for (int i = 0; i < 20; ++i) {
            byName.setParameter(kPowerParameter, i % 2 ? 0.75f : 0.25f);
            idle(byName);
        }
        uint64_t held = 0;
        {
            testhost::RealtimeScope counting;
            testhost::resetRealtimeCounts();
            for (int i = 0; i < 400; ++i) {
                byName.setParameter(kPowerParameter, i % 2 ? 0.75f : 0.25f);
                idle(byName);
            }
            const testhost::RealtimeCounts counts = testhost::realtimeCounts();
            held = counts.allocations > counts.frees ? counts.allocations - counts.frees : 0;
        }
        EXPECT_LT(held, 40u) << "memory kept across 400 redraws";
    }
    byName.dispatch(vst::effEditClose);
}

}  // namespace
}  // namespace edhost
