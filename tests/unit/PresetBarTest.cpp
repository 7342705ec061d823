// The preset bar, offscreen: its controls and their layout, the buttons'
// hover, press and two-action rules, the control handler, program names,
// file dialog requests and answers, and the manual button.
#include <gtest/gtest.h>

#include <cairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "../support/PresetBarFixture.h"
#include "../support/SmallFilesystem.h"
#include "editor/Editor.h"
#include "editor/PresetBarControls.h"
#include "gui/COptionMenu.h"
#include "gui/CTextEdit.h"
#include "platform/FileReplacement.h"
#include "platform/SettingsStore.h"
#include "presets/ProgramNameText.h"
#include "presets/UserManual.h"

using namespace vexal;
namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// Cleaning drops every byte that is not part of a valid character.
bool validUtf8(const std::string& s) {
    std::vector<char> out(s.size() + 1);
    cleanTypedName(s.c_str(), out.data(), s.size());
    return std::string(out.data()) == s;
}

}  // namespace

TEST_F(PresetBar, FourteenControlsInCreationOrderWithTheirPlacesAndImages) {
    enum Kind { field, menu, rocker, saveLoad, kick, twoAction };
    struct Expected {
        int32_t tag;
        Kind kind;
        CRect rect;
        int32_t bitmap;
        int32_t images;
    } const expected[] = {
        {1000, field, CRect(194, 447, 318, 461), 128, 1},
        {1012, menu, CRect(320, 448, 333, 460), 128, 1},
        {1001, rocker, CRect(340, 447, 370, 460), 995, 5},
        {1002, saveLoad, CRect(72, 447, 89, 462), 990, 3},
        {1003, saveLoad, CRect(22, 447, 39, 462), 991, 3},
        {1013, twoAction, CRect(39, 447, 71, 460), 992, 3},
        {1004, saveLoad, CRect(166, 447, 183, 462), 990, 3},
        {1005, saveLoad, CRect(104, 447, 121, 462), 991, 3},
        {1014, twoAction, CRect(122, 447, 166, 460), 993, 3},
        {1017, kick, CRect(421, 447, 438, 462), 990, 3},
        {1015, kick, CRect(388, 447, 405, 462), 991, 3},
        {1018, kick, CRect(486, 447, 503, 462), 990, 3},
        {1016, kick, CRect(452, 447, 469, 462), 991, 3},
        {1019, kick, CRect(510, 449, 521, 458), 989, 3},
    };
    ASSERT_EQ(frame->getNbViews(), 14);
    for (int32_t i = 0; i < 14; ++i) {
        const Expected& e = expected[i];
        auto* c = dynamic_cast<CControl*>(frame->getView(i));
        ASSERT_NE(c, nullptr);
        SCOPED_TRACE(e.tag);
        EXPECT_EQ(c->getTag(), e.tag);
        EXPECT_EQ(c->getViewSize(), e.rect);
        EXPECT_EQ(c->getListener(), editor);
        ASSERT_NE(c->getBackground(), nullptr);
        EXPECT_EQ(c->getBackground()->getResourceId(), e.bitmap);
        if (e.kind != field && e.kind != menu) {
            EXPECT_EQ(c->getHeightOfOneImage(), c->getBackground()->getHeight() / e.images);
        }
        switch (e.kind) {
            case field: EXPECT_NE(dynamic_cast<CTextEdit*>(c), nullptr); break;
            case menu: EXPECT_NE(dynamic_cast<COptionMenu*>(c), nullptr); break;
            case rocker: EXPECT_NE(dynamic_cast<CPSRockerSwitch*>(c), nullptr); break;
            case saveLoad: EXPECT_NE(dynamic_cast<CSaveLoadButton*>(c), nullptr); break;
            case kick:
            case twoAction:
                ASSERT_NE(dynamic_cast<CPSKickButton*>(c), nullptr);
                EXPECT_EQ(dynamic_cast<CPSKickButton*>(c)->isTwoAction(), e.kind == twoAction);
                break;
        }
        if (e.kind == field || e.kind == menu) {
            EXPECT_EQ(c->getBackOffset(), (CPoint{e.rect.left, e.rect.top}));
        }
    }

    CTextEdit* name = editor->getNameField();
    EXPECT_STREQ(name->getText(), "Default");
    EXPECT_EQ(name->getFont()->getSize(), 10);
    EXPECT_EQ(name->getFontColor(), (CColor{36, 36, 32, 255}));
    EXPECT_EQ(name->getBackColor(), (CColor{209, 227, 238, 255}));

    COptionMenu* programs = editor->getProgramMenu();
    EXPECT_EQ(programs->getNbEntries(), 24);
    EXPECT_EQ(programs->getNbItemsPerColumn(), 12);
    EXPECT_EQ(programs->getStyle(), CParamDisplay::kNoDrawStyle);
    for (int k = 0; k < 24; ++k) EXPECT_EQ(programs->getEntryTitle(k), storedName(*plugin, k));
    EXPECT_EQ(programs->getCurrentIndex(), 0);
}

TEST_F(PresetBar, IdleTimerRunsEveryThirtyMillisecondsWhileOpen) {
    barNow += 29;
    frame->fireTimers(barNow);
    EXPECT_EQ(editor->idles, 0);
    barNow += 1;
    frame->fireTimers(barNow);
    EXPECT_EQ(editor->idles, 1);

    editor->CPresetSystemEditor::close();
    barNow += 60;
    frame->fireTimers(barNow);
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(editor->getNameField(), nullptr);
    // Reopening builds the bar again, on the program now selected.
    editor->AEffGUIEditor::close();
    plugin->selectProgram(3);
    ASSERT_TRUE(editor->openBar());
    frame = editor->getFrame();
    EXPECT_EQ(editor->getProgramMenu()->getCurrentIndex(), 3);
    EXPECT_EQ(editor->getNameField()->getText(), storedName(*plugin, 3));
}

TEST(PresetBarWithoutWindow, OpenWithoutFrameDoesNothing) {
    Plugin p(nullptr, makeEditor);
    CPresetSystemEditor& e = *dynamic_cast<CPresetSystemEditor*>(p.presetEditor());
    EXPECT_FALSE(e.open(nullptr));
    EXPECT_EQ(e.getNameField(), nullptr);
    e.showProgramName("x");  // no controls to update
}

TEST_F(PresetBar, HoverAndPressImages) {
    struct Step {
        const char* event;  // enter, down, up, exit, moveLeft, moveRight
        int32_t frameAfter;
    };
    struct Case {
        int32_t tag;
        std::vector<Step> steps;
    } const cases[] = {
        {1015, {{"enter", 1}, {"down", 2}, {"up", 1}, {"exit", 0}, {"down", 2}, {"up", 0}}},
        {1013, {{"enter", 1}, {"down", 1}, {"double", 2}, {"up", 1}, {"exit", 0}}},
        {1004, {{"enter", 1}, {"down", 1}, {"exit", 0}}},
        {1001, {{"enterLeft", 1}, {"moveRight", 2}, {"downLeft", 3}, {"dragRight", 3}, {"up", 2},
                {"downRight", 4}, {"up", 2}, {"exit", 0}}},
    };
    for (const Case& c : cases) {
        auto* view = control(c.tag);
        const CRect r = view->getViewSize();
        CPoint left{r.left + 1, r.top + 2}, right{r.right - 2, r.top + 2};
        for (const Step& s : c.steps) {
            const std::string e = s.event;
            CPoint p = e.find("Right") != std::string::npos ? right : left;
            if (e.rfind("enter", 0) == 0) view->onMouseEntered(p, 0);
            if (e == "exit") view->onMouseExited(p, 0);
            if (e.rfind("move", 0) == 0) view->onMouseMoved(p, 0);
            if (e.rfind("drag", 0) == 0) view->onMouseMoved(p, kLButton);
            if (e.rfind("down", 0) == 0) view->onMouseDown(p, kLButton);
            if (e == "double") view->onMouseDown(p, kLButton | kDoubleClick);
            if (e == "up") view->onMouseUp(p, kLButton);
            int32_t shown = -1;
            if (auto* k = dynamic_cast<CPSKickButton*>(view)) shown = k->frameIndex();
            if (auto* k = dynamic_cast<CSaveLoadButton*>(view)) shown = k->frameIndex();
            if (auto* k = dynamic_cast<CPSRockerSwitch*>(view)) shown = k->frameIndex();
            EXPECT_EQ(shown, s.frameAfter) << "tag " << c.tag << " after " << e;
        }
    }
}

TEST_F(PresetBar, RockerStepsAndStopsAtTheEnds) {
    struct Case {
        int32_t from;
        bool rightHalf;
        int32_t to;
    } const cases[] = {{23, true, 23}, {0, false, 0}, {5, true, 6}, {5, false, 4}, {22, true, 23}, {1, false, 0}};
    const CRect r = control(1001)->getViewSize();
    for (const Case& c : cases) {
        plugin->selectProgram(c.from);
        // Middle 355: 354 is the left half, 355 the right.
        click(CPoint{c.rightHalf ? 355.0 : 354.0, r.top + 5}, kLButton);
        EXPECT_EQ(plugin->getCurrentProgram(), c.to) << c.from;
        EXPECT_EQ(editor->getProgramMenu()->getCurrentIndex(), c.to);
        EXPECT_EQ(editor->getNameField()->getText(), storedName(*plugin, c.to));
        EXPECT_EQ(control(1001)->getValue(), 0.0f);
    }
    // Not the left button: nothing.
    plugin->selectProgram(5);
    click(1001, kRButton);
    EXPECT_EQ(plugin->getCurrentProgram(), 5);
}

TEST_F(PresetBar, DefaultButtonsActOnDoubleClicksOnly) {
    struct Case {
        int32_t tag;
        bool storedBefore;
        std::vector<uint32_t> clicks;
        bool storedAfter;
    } const cases[] = {
        {1013, false, {kLButton}, false},
        {1013, false, {kLButton, kLButton | kDoubleClick}, true},
        {1013, true, {kLButton | kControl}, true},
        {1013, true, {kLButton | kControl, kLButton | kControl | kDoubleClick}, false},
        {1013, false, {kRButton, kRButton | kDoubleClick}, false},
        {1014, false, {kLButton}, false},
        {1014, false, {kLButton | kDoubleClick}, true},
        {1014, true, {kLButton | kControl | kDoubleClick}, false},
    };
    for (const Case& c : cases) {
        const char* value = c.tag == 1013 ? "DefaultBank" : "DefaultPreset";
        TempConfigDir::clear();
        if (c.storedBefore) c.tag == 1013 ? editor->storeDefaultBank() : editor->storeDefaultProgram();
        ASSERT_EQ(stored(value), c.storedBefore);
        for (uint32_t b : c.clicks) click(c.tag, b);
        EXPECT_EQ(stored(value), c.storedAfter) << c.tag << ", clicks " << c.clicks.size();
        EXPECT_FALSE(dynamic_cast<CPSKickButton*>(control(c.tag))->isPressed());
    }
}

TEST_F(PresetBar, MemoryButtonsStoreAndRecall) {
    plugin->selectProgram(2);
    plugin->setParameter(1, 0.3f);
    click(1015);
    plugin->setParameter(1, 0.9f);
    click(1016);
    click(1017);
    EXPECT_EQ(plugin->getParameter(1), 0.3f);
    click(1018);
    EXPECT_EQ(plugin->getParameter(1), 0.9f);
}

TEST_F(PresetBar, LoadAndSaveButtonsOpenTheirDialogs) {
    using Mode = platform::FileDialogRequest::Mode;
    struct Case {
        int32_t tag;
        uint32_t buttons;
        const char* title;
        Mode mode;
        const char* filter;
        const char* extension;
    } const cases[] = {
        {1004, kLButton, "Load preset", Mode::load, "ZVK Preset", "zvk"},
        {1004, kRButton, "Load preset (endian-reversed)", Mode::load, "ZVK Preset", "zvk"},
        {1004, kRButton | kShift, "Load preset", Mode::load, "ZVK Preset", "zvk"},
        {1004, kRButton | kDoubleClick, "Load preset (endian-reversed)", Mode::load, "ZVK Preset", "zvk"},
        {1002, kLButton, "Load bank", Mode::load, "ZVK Bank", "zvb"},
        {1002, kRButton, "Load bank (endian-reversed)", Mode::load, "ZVK Bank", "zvb"},
        {1002, kRButton | kShift, "Load bank", Mode::load, "ZVK Bank", "zvb"},
        {1002, kRButton | kLButton, "Load bank", Mode::load, "ZVK Bank", "zvb"},
        {1005, kRButton, "Save preset", Mode::save, "ZVK Preset", "zvk"},
        {1005, kLButton, "Save preset", Mode::save, "ZVK Preset", "zvk"},
        {1003, kRButton, "Save bank", Mode::save, "ZVK Bank", "zvb"},
    };
    // The remembered folder and names are what the dialogs start from.
    const std::string folder = TempConfigDir::path() + "/dir with space ä/";
    fs::create_directories(folder);
    ASSERT_TRUE(editor->savePresetFileTo((folder + "mine.zvk").c_str()));
    ASSERT_TRUE(editor->saveBankFileTo((folder + "all.zvb").c_str()));
    for (const Case& c : cases) {
        click(c.tag, c.buttons);
        const platform::FileDialogRequest& r = editor->lastFileDialog();
        SCOPED_TRACE(c.title);
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.mode, c.mode);
        EXPECT_EQ(r.filterName, c.filter);
        EXPECT_EQ(r.extension, c.extension);
        EXPECT_EQ(r.folder, folder);
        EXPECT_EQ(r.fileName, c.mode == Mode::load ? "" : c.tag == 1005 ? "mine.zvk" : "all.zvb");
        EXPECT_EQ(control(c.tag)->getValue(), 0.0f);
        // The dialog runs on; close it without an answer before the next one.
        editor->closeBar();
        ASSERT_TRUE(editor->openBar());
        frame = editor->getFrame();
    }
    // Buttons without the left or right button do nothing.
    const std::string before = editor->lastFileDialog().title;
    click(1003, kMButton);
    EXPECT_EQ(editor->lastFileDialog().title, before);
}

TEST_F(PresetBar, TypedNamesAreStoredAsWholeCharactersOfText) {
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    const std::string oe300 = [] {
        std::string s;
        for (int i = 0; i < 150; ++i) s += "ö";  // 300 bytes
        return s;
    }();
    struct Case {
        std::string typed;
        std::string menu;   // also what the field shows
        std::string store;  // the program's name
    } const cases[] = {
        {thirty, thirty.substr(0, 24), thirty.substr(0, 23)},
        {"Tab\there\x01\x1f\x7f end", "Tabhere end", "Tabhere end"},
        {"\xc2\x85Next\xc2\x9f line", "Next line", "Next line"},
        {"Mäster Ünïcødé ✓", "Mäster Ünïcødé ✓", "Mäster Ünïcødé ✓"},
        {oe300, oe300.substr(0, 24), oe300.substr(0, 22)},
        {std::string(22, 'a') + "✓✓", std::string(22, 'a'), std::string(22, 'a')},
        {std::string(22, 'a') + "é", std::string(22, 'a') + "é", std::string(22, 'a')},
        {"\xff\xfe" "bad\xc3(\xed\xa0\x80 bytes", "bad( bytes", "bad( bytes"},
        {std::string(300, 'x'), std::string(24, 'x'), std::string(23, 'x')},
        {"", "", ""},
    };
    editor->getProgramMenu()->choose(4);
    CTextEdit* field = editor->getNameField();
    for (const Case& c : cases) {
        field->setText(c.typed.c_str());
        field->valueChanged();  // as the field does when the user presses Enter
        EXPECT_EQ(field->getText(), c.menu);
        EXPECT_EQ(editor->getProgramMenu()->getEntryTitle(4), c.menu);
        const std::string name = storedName(*plugin, 4);
        EXPECT_EQ(name, c.store);
        EXPECT_TRUE(validUtf8(name)) << name;
        char host[25] = {};
        plugin->getProgramName(host);
        EXPECT_EQ(std::string(host), c.store);
    }
}

TEST(ProgramNames, HostNamesAreCutOnWholeCharacters) {
    struct Case {
        std::string given;
        std::string stored;
    } const cases[] = {
        {std::string(22, 'a') + "é", std::string(22, 'a')},              // UTF-8: no half character
        {std::string(21, 'a') + "é", std::string(21, 'a') + "é"},         // fits in 23 bytes
        {std::string(22, 'a') + "\xe9\xe9", std::string(22, 'a') + "\xe9"},  // 8-bit text: bytes
        {std::string(30, 'b'), std::string(23, 'b')},
    };
    Plugin p(nullptr);
    for (const Case& c : cases) {
        std::string buffer = c.given;
        p.setProgramName(buffer.data());
        EXPECT_EQ(storedName(p, 0), c.stored);
    }
}

TEST_F(PresetBar, MenuEntryFiveSelectsProgramFive) {
    editor->getProgramMenu()->choose(5);
    EXPECT_EQ(plugin->getCurrentProgram(), 5);
    EXPECT_EQ(editor->getNameField()->getText(), storedName(*plugin, 5));
    EXPECT_EQ(editor->getProgramMenu()->getCurrentIndex(), 5);
}

TEST_F(PresetBar, NamesInAWindowsCodePageKeepTheirBytesAndShowAsTheirText) {
    const std::string latin1 = "Caf\xe9";
    // The name field as drawn, for the name the field holds.
    auto drawnName = [&] {
        frame->redrawAll();
        frame->drawDirty();
        EXPECT_TRUE(frame->getDrawContext()->isHealthy());
        cairo_surface_t* s = frame->getBackBuffer();
        cairo_surface_flush(s);
        std::vector<uint32_t> pixels;
        for (int y = 447; y < 461; ++y)
            for (int x = 194; x < 318; ++x) {
                uint32_t v;
                std::memcpy(&v, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x, 4);
                pixels.push_back(v & 0xFFFFFF);
            }
        return pixels;
    };
    editor->getNameField()->setText("Caf\xc3\xa9");
    const auto cafe = drawnName();
    const std::string file = TempConfigDir::path() + "/latin1.zvk";
    struct Source {
        const char* name;
        std::function<void()> bring;
    } const sources[] = {
        {"the host", [&] {
             std::string name = latin1;
             plugin->setProgramName(name.data());
         }},
        {"a preset file", [&] {
             std::string name = latin1;
             plugin->setProgramName(name.data());
             ASSERT_TRUE(editor->savePresetFileTo(file.c_str()));
             char other[] = "Other";
             plugin->setProgramName(other);
             ASSERT_TRUE(editor->loadPresetFileFrom(file.c_str(), false));
         }},
        {"the chunk", [&] {
             std::string name = latin1;
             plugin->setProgramName(name.data());
             void* data = nullptr;
             const int32_t size = plugin->getChunk(&data, false);
             const std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
             char other[] = "Other";
             plugin->setProgramName(other);
             ASSERT_EQ(plugin->setChunk(const_cast<uint8_t*>(chunk.data()), size, false), 0);
         }},
    };
    for (const Source& source : sources) {
        SCOPED_TRACE(source.name);
        source.bring();
        EXPECT_EQ(storedName(*plugin, plugin->getCurrentProgram()), latin1);
        EXPECT_EQ(editor->getNameField()->getText(), latin1);
        EXPECT_EQ(drawnName(), cafe);
    }
    // Edited, the name is the text the user saw; left as it was, it keeps its bytes.
    CPoint inField{250, 454};
    auto key = [&](uint32_t character, int32_t virtualKey) {
        frame->onKeyDown(VstKeyCode{character, virtualKey, 0}, CFrame::KeySource::window);
    };
    frame->onMouseDown(inField, kLButton);
    EXPECT_STREQ(editor->getNameField()->getEditText(), "Caf\xc3\xa9");
    key(0, platform::kKeyReturn);
    EXPECT_EQ(storedName(*plugin, plugin->getCurrentProgram()), latin1);
    barNow += 1000;
    frame->onMouseDown(inField, kLButton);
    key('!', 0);
    key(0, platform::kKeyReturn);
    EXPECT_EQ(storedName(*plugin, plugin->getCurrentProgram()), "Caf\xc3\xa9!");
}

TEST_F(PresetBar, HostNamesAndBankLoadsReachTheBar) {
    plugin->selectProgram(7);
    editor->getProgramMenu()->setCurrent(7);
    char name[] = "From host";
    plugin->setProgramName(name);
    EXPECT_STREQ(editor->getNameField()->getText(), "From host");
    EXPECT_STREQ(editor->getProgramMenu()->getEntryTitle(7), "From host");

    const std::string file = TempConfigDir::path() + "/bank.zvb";
    ASSERT_TRUE(editor->saveBankFileTo(file.c_str()));
    plugin->selectProgram(7);
    char other[] = "Renamed";
    plugin->setProgramName(other);
    ASSERT_TRUE(editor->loadBankFileFrom(file.c_str(), false));
    EXPECT_EQ(plugin->getCurrentProgram(), 0);
    EXPECT_EQ(editor->getProgramMenu()->getCurrentIndex(), 0);
    EXPECT_STREQ(editor->getProgramMenu()->getEntryTitle(7), "From host");
    EXPECT_EQ(editor->getNameField()->getText(), storedName(*plugin, 0));
}

TEST_F(PresetBar, FailedLoadsChangeNothingAndSayWhy) {
    const fs::path dir = fs::path(TempConfigDir::path()) / "fïles with spaces";
    fs::create_directories(dir);
    auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    };
    const std::string good = (dir / "good preset ü.zvk").string();
    ASSERT_TRUE(editor->savePresetFileTo(good.c_str()));
    const std::string unreadable = write("locked.zvk", "x");
    fs::permissions(unreadable, fs::perms::none);
    const bool root = std::ifstream(unreadable).good();  // root reads anything
    const std::string fifo = (dir / "pipe.zvk").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string large = write("large.zvk", std::string((1 << 20) + 1, 'l'));

    struct Case {
        std::string path;
        bool bank;
        std::string says;  // part of the message; empty: loads
        bool selectsFirst = false;  // a bank file of another kind still ends on program 0
    } const cases[] = {
        {dir.string(), false, "This is a folder, not a file."},
        {(dir / "missing.zvk").string(), false, "The file does not exist."},
        {(dir / "missing.zvb").string(), true, "The file does not exist."},
        {write("tiny.zvk", "abcd"), false, "This is not a ZVK preset file"},
        {write("junk ä.zvb", std::string(100, 'j')), true, "This is not a ZVK bank file"},
        {unreadable, false, root ? "This is not a ZVK preset file" : "The file cannot be read: permission denied."},
        // Refused at once: nothing here may hold the host's thread.
        {fifo, false, "This is a named pipe, not a file."},
        {fifo, true, "This is a named pipe, not a file."},
        {"/dev/zero", true, "This is a device, not a file."},
        {large, false, "The file is too large (1048577 bytes)."},
        {good, false, ""},
        {good, true, "This is not a ZVK bank file", true},
    };
    plugin->selectProgram(3);
    plugin->setParameter(1, 0.125f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const float drive = plugin->getParameter(1);
        const std::string name = storedName(*plugin, plugin->getCurrentProgram());
        editor->fileDialogAnswered(c.bank, false, false, c.path.c_str());
        if (c.says.empty()) {
            EXPECT_FALSE(frame->isShowingMessage());
            continue;
        }
        EXPECT_NE(message().find(c.says), std::string::npos) << message();
        EXPECT_EQ(caption(), c.bank ? "Could not load bank" : "Could not load preset");
        EXPECT_EQ(plugin->getCurrentProgram(), c.selectsFirst ? 0 : 3);
        if (c.selectsFirst) continue;
        EXPECT_EQ(plugin->getParameter(1), drive);
        EXPECT_EQ(storedName(*plugin, plugin->getCurrentProgram()), name);
        CPoint anywhere{5, 5};
        frame->onMouseDown(anywhere, kLButton);  // dismisses the message
    }
    fs::permissions(unreadable, fs::perms::owner_all);

    editor->fileDialogAnswered(false, true, false, dir.string().c_str());
    EXPECT_EQ(caption(), "Could not save preset");
}

std::string fileText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folderListing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PresetBar, FailedSavesKeepTheOldFileAndSayWhy) {
    using platform::testhook::FaultAt;
    const fs::path dir = fs::path(TempConfigDir::path()) / "saves";
    fs::create_directories(dir);
    const std::string old = "a preset saved long ago";
    std::ofstream(dir / "mine.zvk", std::ios::binary) << old;
    std::ofstream(dir / "mine.zvb", std::ios::binary) << old;
    std::ofstream(dir / "locked.zvk", std::ios::binary) << old;
    fs::permissions(dir / "locked.zvk", fs::perms(0444));
    ASSERT_EQ(mkfifo((dir / "pipe.zvk").c_str(), 0644), 0);
    const std::vector<std::string> before = folderListing(dir);
    struct Case {
        const char* name;
        bool bank;
        FaultAt fault;
        int error;
        const char* says;
    } const cases[] = {
        {"mine.zvk", false, FaultAt::write, ENOSPC,
         "The file cannot be written: no space left on device. The file as it was is kept."},
        {"mine.zvb", true, FaultAt::write, ENOSPC, "no space left on device"},
        {"mine.zvk", false, FaultAt::flush, EIO, "The file cannot be written: input/output error."},
        {"locked.zvk", false, FaultAt::none, 0, "The file is write-protected. The file as it was is kept."},
        {"pipe.zvk", false, FaultAt::none, 0, "This is a named pipe, not a file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::testhook::injectFault(c.fault, c.error);
        editor->fileDialogAnswered(c.bank, true, false, (dir / c.name).string().c_str());
        platform::testhook::clearFault();
        EXPECT_NE(message().find(c.says), std::string::npos) << message();
        EXPECT_EQ(caption(), c.bank ? "Could not save bank" : "Could not save preset");
        CPoint anywhere{5, 5};
        frame->onMouseDown(anywhere, kLButton);
    }
    for (const char* name : {"mine.zvk", "mine.zvb", "locked.zvk"}) EXPECT_EQ(fileText(dir / name), old) << name;
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.zvk"));
    EXPECT_EQ(folderListing(dir), before);

    // The same on a file system that is really full.
    const std::string small = (dir / "small").string();
    fs::create_directory(small);
    EXPECT_SMALL_FILESYSTEM_PASSES(withSmallFilesystem(small, 64 * 1024, [&] {
        std::ofstream(small + "/mine.zvk", std::ios::binary) << old;
        std::ofstream(small + "/mine.zvb", std::ios::binary) << old;
        fillUp(small);
        for (const char* name : {"mine.zvk", "mine.zvb"}) {
            editor->fileDialogAnswered(std::string(name).ends_with("zvb"), true, false, (small + "/" + name).c_str());
            EXPECT_NE(message().find("no space left on device"), std::string::npos) << message();
            EXPECT_EQ(fileText(small + "/" + name), old) << name;
        }
        EXPECT_EQ(folderListing(small), (std::vector<std::string>{"filler", "mine.zvb", "mine.zvk"}));
    }));
}

TEST_F(PresetBar, FailedStoresSayWhichAndWhy) {
    using platform::testhook::FaultAt;
    struct Case {
        int32_t tag;
        uint32_t buttons;
        const char* says;
    } const cases[] = {
        {1015, kLButton, "Memory A could not be stored: "},
        {1016, kLButton, "Memory B could not be stored: "},
        {1013, kLButton | kDoubleClick, "The default bank could not be stored: "},
        {1014, kLButton | kDoubleClick, "The default program could not be stored: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        platform::testhook::injectFault(FaultAt::write, ENOSPC);
        click(c.tag, c.buttons);
        platform::testhook::clearFault();
        EXPECT_EQ(caption(), "Not saved");
        EXPECT_EQ(message().rfind(c.says, 0), 0u) << message();
        EXPECT_NE(message().find("cannot be written: no space left on device."), std::string::npos) << message();
        CPoint anywhere{5, 5};
        frame->onMouseDown(anywhere, kLButton);
    }
    EXPECT_FALSE(stored("MemoA") || stored("MemoB") || stored("DefaultBank") || stored("DefaultPreset"));
    // A store that works says nothing.
    click(1015);
    EXPECT_TRUE(stored("MemoA"));
    EXPECT_FALSE(frame->isShowingMessage());

    // A settings folder that is really read-only: the store and the clear both say so.
    EXPECT_SMALL_FILESYSTEM_PASSES(withSmallFilesystem(TempConfigDir::path(), 64 * 1024, [&] {
        ASSERT_TRUE(remountReadOnly(TempConfigDir::path()));
        click(1015);
        EXPECT_NE(message().find("Memory A could not be stored: "), std::string::npos) << message();
        EXPECT_NE(message().find("read-only file system"), std::string::npos) << message();
    }));
}

TEST_F(PresetBar, ManualButtonWithoutAnyManualSaysSo) {
    editor->installed.clear();
    click(1019);
    EXPECT_EQ(message(), "Could not open user manual");
    EXPECT_EQ(caption(), "");
    EXPECT_FALSE(dynamic_cast<CPSKickButton*>(control(1019))->isPressed());

    // A stale stored location is no manual either.
    CPoint anywhere{5, 5};
    frame->onMouseDown(anywhere, kLButton);
    platform::makeSettingsStore()->writeString(platform::SettingsKey::main, "ManualPath",
                                               TempConfigDir::path() + "/gone.html");
    click(1019);
    EXPECT_EQ(message(), "Could not open user manual");
}

TEST(UserManual, FoundBesideThePluginInEveryLayout) {
    const fs::path root = fs::path(TempConfigDir::path()) / "layouts";
    struct Case {
        const char* plugin;  // folder of the plug-in below root
        const char* manual;  // the manual below root; null for none
    } const cases[] = {
        {"usr/lib/vst", "usr/share/doc/zvk-vexal/manual.html"},
        {"home/.vst", "home/.vst/manual.html"},
        {"build", "build/share/doc/zvk-vexal/manual.html"},
        {"lone/vst", nullptr},
        {"wrong/lib/vst", nullptr},
    };
    fs::create_directories(root / "wrong/share/doc/zvk-vexal/manual.html");  // a folder is no manual
    for (const Case& c : cases) {
        fs::create_directories(root / c.plugin);
        std::string expected;
        if (c.manual) {
            fs::create_directories((root / c.manual).parent_path());
            std::ofstream(root / c.manual) << "<html></html>";
            expected = (root / c.manual).lexically_normal().string();
        }
        EXPECT_EQ(findInstalledManual((root / c.plugin).string()), expected) << c.plugin;
    }
    EXPECT_EQ(findInstalledManual(""), "");
}

TEST(UserManual, NoHandlerMessageNamesTheMissingProgram) {
    struct Case {
        const char* type;
        const char* says;
    } const cases[] = {
        {"text/html", "Make sure a web browser is installed: no program opens text/html documents."},
        {"application/pdf", "Make sure a PDF reader is installed: no program opens application/pdf documents."},
        {"odt", "Make sure a program for odt files is installed: no program opens odt documents."},
    };
    for (const Case& c : cases) EXPECT_EQ(noHandlerMessage(c.type), c.says);
}
