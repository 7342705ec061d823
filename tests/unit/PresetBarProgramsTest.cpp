// The preset bar with the desktop's programs replaced by stand-in scripts on
// a temporary PATH: the file dialog (zenity, then kdialog) answers with a
// path, cancels, is missing, or is still open when the window closes; the
// manual goes to xdg-open, which records its argument.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "../support/PresetBarFixture.h"
#include "editor/PresetBarControls.h"
#include "gui/COptionMenu.h"
#include "platform/SettingsStore.h"

using namespace vexal;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class PresetBarPrograms : public PresetBar {
protected:
    // A stand-in program: records its arguments one per line, then runs body.
    void standIn(const char* name, const std::string& body) const {
        const fs::path script = bin / name;
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (bin / name).string()
                              << ".args'\n" << body << "\n";
        fs::permissions(script, fs::perms::owner_all);
    }
    std::string recorded(const char* name) const {
        std::ifstream in(bin / (std::string(name) + ".args"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Pumps the editor, as the host's idle calls do, until done() or 5 s.
    template <class Done>
    bool pumpUntil(Done done) {
        for (int i = 0; i < 2500; ++i) {
            editor->pump();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    // Pumps for a while after the stand-in has run (its answer is then in),
    // or until the window says that it could not be run.
    void pumpAfterRun(const char* name) {
        pumpUntil([&] { return fs::exists(bin / (std::string(name) + ".args")) || frame->isShowingMessage(); });
        for (int i = 0; i < 50; ++i) {
            editor->pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

}  // namespace

TEST_F(PresetBarPrograms, DialogAnswersLoadSaveOrChangeNothing) {
    const fs::path dir = fs::path(TempConfigDir::path()) / "my presets ü";
    fs::create_directories(dir);
    const std::string preset = (dir / "warm ö.zvk").string();
    editor->getProgramMenu()->choose(6);
    plugin->setParameter(1, 0.75f);
    ASSERT_TRUE(editor->savePresetFileTo(preset.c_str()));
    plugin->setParameter(1, 0.25f);

    struct Case {
        const char* program;  // zenity or kdialog
        int32_t tag;
        uint32_t buttons;
        std::string answer;  // printed by the stand-in; empty: it cancels
        const char* title;
        float driveAfter;
        bool message;
    } const cases[] = {
        {"zenity", 1004, kLButton, preset, "Load preset", 0.75f, false},
        {"kdialog", 1004, kRButton, preset, "Load preset (endian-reversed)", 0.25f, true},
        {"zenity", 1004, kLButton, "", "Load preset", 0.25f, false},
        {"zenity", 1004, kLButton, dir.string(), "Load preset", 0.25f, true},
        {"zenity", 1005, kRButton, (dir / "saved.zvk").string(), "Save preset", 0.25f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        fs::remove_all(bin);
        fs::create_directories(bin);
        plugin->setParameter(1, 0.25f);
        standIn(c.program, c.answer.empty() ? "exit 1" : "printf '%s\\n' '" + c.answer + "'; exit 0");
        click(c.tag, c.buttons);
        pumpAfterRun(c.program);
        EXPECT_NE(recorded(c.program).find(c.title), std::string::npos) << recorded(c.program);
        if (std::string(c.title).find("reversed") == std::string::npos) {
            EXPECT_EQ(recorded(c.program).find("reversed"), std::string::npos);
        }
        EXPECT_EQ(plugin->getParameter(1), c.driveAfter);
        EXPECT_EQ(frame->isShowingMessage(), c.message);
        if (frame->isShowingMessage()) {
            CPoint anywhere{5, 5};
            frame->onMouseDown(anywhere, kLButton);
        }
    }
    EXPECT_TRUE(fs::is_regular_file(dir / "saved.zvk"));
    EXPECT_STREQ(editor->currentPresetFile(), "saved.zvk");
}

TEST_F(PresetBarPrograms, NoDialogProgramSaysSo) {
    click(1002);
    EXPECT_TRUE(pumpUntil([&] { return frame->isShowingMessage(); }));
    EXPECT_STREQ(dynamic_cast<CMessageBox*>(frame->getOverlayView())->getText(),
                 "No file dialog program was found. Install zenity or kdialog.");
}

TEST_F(PresetBarPrograms, ClosingTheWindowEndsAnOpenDialogWithoutAnAnswer) {
    const std::string preset = TempConfigDir::path() + "/late.zvk";
    ASSERT_TRUE(editor->savePresetFileTo(preset.c_str()));
    standIn("zenity", "/bin/sleep 1; printf '%s\\n' '" + preset + "'");
    click(1004);
    pumpUntil([&] { return fs::exists(bin / "zenity.args") || frame->isShowingMessage(); });
    editor->closeBar();
    // Nothing is left to call back into: the answer never arrives.
    plugin->setParameter(1, 0.4f);
    ASSERT_TRUE(editor->openBar());
    frame = editor->getFrame();
    for (int i = 0; i < 10; ++i) editor->pump();
    EXPECT_EQ(plugin->getParameter(1), 0.4f);
    EXPECT_FALSE(frame->isShowingMessage());
}

TEST_F(PresetBarPrograms, ManualOpensThroughXdgOpen) {
    const fs::path installed = fs::path(TempConfigDir::path()) / "share doc ü" / "manual.html";
    fs::create_directories(installed.parent_path());
    std::ofstream(installed) << "<html></html>";
    const fs::path stored = fs::path(TempConfigDir::path()) / "elsewhere" / "Vexal Manual.pdf";
    fs::create_directories(stored.parent_path());
    std::ofstream(stored) << "%PDF";

    struct Case {
        std::string manualPath;  // the stored value; empty: none
        std::string opened;
    } const cases[] = {
        {"", installed.string()},
        {stored.string(), stored.string()},
        {TempConfigDir::path() + "/missing.pdf", installed.string()},
        // Addresses go to xdg-open as they are.
        {"https://ortelwerk.example/vexal/manual?lang=de#limiter", "https://ortelwerk.example/vexal/manual?lang=de#limiter"},
        {"http://localhost:8080/manual.html", "http://localhost:8080/manual.html"},
        {"file:///opt/vexal/Manual%20Vexal.pdf", "file:///opt/vexal/Manual%20Vexal.pdf"},
    };
    editor->installed = installed.string();
    auto settings = platform::makeSettingsStore();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manualPath);
        fs::remove_all(bin);
        fs::create_directories(bin);
        standIn("xdg-open", "exit 0");
        if (c.manualPath.empty())
            settings->deleteValue(platform::SettingsKey::main, "ManualPath");
        else
            settings->writeString(platform::SettingsKey::main, "ManualPath", c.manualPath);
        click(1019);
        pumpAfterRun("xdg-open");
        EXPECT_EQ(recorded("xdg-open"), c.opened + "\n");
        EXPECT_FALSE(frame->isShowingMessage());
        EXPECT_FALSE(dynamic_cast<vexal::CPSKickButton*>(control(1019))->isPressed());
        if (frame->isShowingMessage()) {
            CPoint anywhere{5, 5};
            frame->onMouseDown(anywhere, kLButton);
        }
    }
}
