// The preset bar opened on an offscreen frame, as the editor opens it on its
// window, in a plug-in whose editor object is the bar's: shared by the bar's
// tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TempConfigDir.h"
#include "core/Plugin.h"
#include "editor/CPresetSystemEditor.h"
#include "gui/CFrame.h"
#include "gui/CMessageBox.h"
#include "gui/GuiClock.h"

namespace testsupport {

using namespace vexal;

inline uint32_t barNow = 1000;
inline uint32_t barTicks() { return barNow; }

// Opens the bar on an offscreen frame, as the editor does on its window.
class BarEditor : public CPresetSystemEditor {
public:
    using CPresetSystemEditor::CPresetSystemEditor;
    bool openBar() {
        openOffscreen(new CFrame(CRect(0, 0, 524, 462), this));
        return CPresetSystemEditor::open(nullptr);
    }
    void closeBar() {
        CPresetSystemEditor::close();
        AEffGUIEditor::close();
    }
    void idle() override {
        ++idles;
        CPresetSystemEditor::idle();
    }
    int idles = 0;
    std::string installed;  // what the search beside the plug-in finds

protected:
    std::string installedManualPath() override { return installed; }
};

// The plug-in with the bar's editor in the place of its own.
class BarPlugin : public Plugin {
public:
    BarPlugin() : Plugin(nullptr) {
        EditorLink* plain = presetEditor();
        bar = new BarEditor(this);
        attachPresetEditor(bar);
        delete plain;
    }
    BarEditor* bar;
};

inline std::string storedName(const Plugin& p, int index) {
    return std::string(p.program(index).name, strnlen(p.program(index).name, 24));
}

// PATH names only an empty folder of the settings folder, `bin`: no desktop
// dialog or document program runs unless a test puts a stand-in there.
class PresetBar : public ::testing::Test {
protected:
    void SetUp() override {
        TempConfigDir::clear();
        oldPath = getenv("PATH") ? getenv("PATH") : "";
        bin = std::filesystem::path(TempConfigDir::path()) / "bin";
        std::filesystem::create_directories(bin);
        setenv("PATH", bin.c_str(), 1);
        setGuiTickSource(barTicks);
        plugin = std::make_unique<BarPlugin>();
        editor = plugin->bar;
        ASSERT_TRUE(editor->openBar());
        frame = editor->getFrame();
    }
    void TearDown() override {
        editor->closeBar();
        plugin.reset();
        setGuiTickSource(nullptr);
        setenv("PATH", oldPath.c_str(), 1);
    }
    CControl* control(int32_t tag) const {
        for (int32_t i = 0; i < frame->getNbViews(); ++i)
            if (auto* c = dynamic_cast<CControl*>(frame->getView(i)); c && c->getTag() == tag) return c;
        return nullptr;
    }
    CPoint middleOf(int32_t tag) const {
        const CRect r = control(tag)->getViewSize();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void click(CPoint p, uint32_t buttons) {
        frame->onMouseDown(p, buttons);
        frame->onMouseUp(p, buttons);
    }
    void click(int32_t tag, uint32_t buttons = kLButton) { click(middleOf(tag), buttons); }
    std::string message() const {
        auto* box = dynamic_cast<CMessageBox*>(frame->getOverlayView());
        return box ? box->getText() : "";
    }
    std::string caption() const {
        auto* box = dynamic_cast<CMessageBox*>(frame->getOverlayView());
        return box ? box->getCaption() : "";
    }
    static bool stored(const char* value) {
        return std::filesystem::exists(std::filesystem::path(TempConfigDir::path()) / value);
    }

    std::string oldPath;
    std::filesystem::path bin;
    std::unique_ptr<BarPlugin> plugin;
    BarEditor* editor = nullptr;
    CFrame* frame = nullptr;
};

}  // namespace testsupport
