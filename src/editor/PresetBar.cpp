// The preset bar along the bottom of the editor window: its controls, the
// control handler for tags 1000 to 1019, and the updates the preset system
// makes to it while the window is open.
#include <algorithm>
#include <cstring>

#include "ArtworkBitmap.h"
#include "CPresetSystemEditor.h"
#include "PresetBarControls.h"
#include "gui/CFrame.h"
#include "gui/COptionMenu.h"
#include "gui/CTextEdit.h"
#include "gui/GuiClock.h"
#include "presets/CPresetSystemEffect.h"
#include "presets/ProgramNameText.h"

namespace vexal {

namespace {

enum BarTag : int32_t {
    kTagName = 1000,
    kTagRocker = 1001,
    kTagLoadBank = 1002,
    kTagSaveBank = 1003,
    kTagLoadPreset = 1004,
    kTagSavePreset = 1005,
    kTagMenu = 1012,
    kTagDefaultBank = 1013,
    kTagDefaultProgram = 1014,
    kTagStoreA = 1015,
    kTagStoreB = 1016,
    kTagRecallA = 1017,
    kTagRecallB = 1018,
    kTagManual = 1019,
};
constexpr int32_t kFirstBarTag = 1000;
constexpr int32_t kLastBarTag = 1019;

using artwork::idOf;
namespace layout = artwork::layout;
constexpr int32_t kBackgroundBitmap = idOf("background");
constexpr int32_t kManualBitmap = idOf("manual");
constexpr int32_t kLoadBitmap = idOf("load");
constexpr int32_t kSaveBitmap = idOf("save");
constexpr int32_t kDefaultBankBitmap = idOf("defaultBank");
constexpr int32_t kDefaultProgramBitmap = idOf("defaultProgram");
constexpr int32_t kRockerBitmap = idOf("rocker");

constexpr CColor kNameInk{36, 36, 32, 255};
constexpr CColor kNamePaper{209, 227, 238, 255};
constexpr CCoord kNameFontSize = 10;
constexpr int32_t kMenuRows = 12;
// The name field shows and the menu titles hold one byte more than the store.
constexpr size_t kShownNameBytes = kProgramNameBytes;

constexpr CRect kNameRect = toCRect(layout::programName);
constexpr CRect kMenuRect = toCRect(layout::programMenu);
constexpr CRect kRockerRect = toCRect(layout::rocker);

enum class ButtonKind { saveLoad, kick, twoAction };
struct ButtonPlace {
    int32_t tag;
    ButtonKind kind;
    CRect rect;
    int32_t bitmap;
};
// In creation order.
constexpr ButtonPlace kButtons[] = {
    {kTagLoadBank, ButtonKind::saveLoad, toCRect(layout::loadBank), kLoadBitmap},
    {kTagSaveBank, ButtonKind::saveLoad, toCRect(layout::saveBank), kSaveBitmap},
    {kTagDefaultBank, ButtonKind::twoAction, toCRect(layout::defaultBank), kDefaultBankBitmap},
    {kTagLoadPreset, ButtonKind::saveLoad, toCRect(layout::loadPreset), kLoadBitmap},
    {kTagSavePreset, ButtonKind::saveLoad, toCRect(layout::savePreset), kSaveBitmap},
    {kTagDefaultProgram, ButtonKind::twoAction, toCRect(layout::defaultProgram), kDefaultProgramBitmap},
    {kTagRecallA, ButtonKind::kick, toCRect(layout::recallA), kLoadBitmap},
    {kTagStoreA, ButtonKind::kick, toCRect(layout::storeA), kSaveBitmap},
    {kTagRecallB, ButtonKind::kick, toCRect(layout::recallB), kLoadBitmap},
    {kTagStoreB, ButtonKind::kick, toCRect(layout::storeB), kSaveBitmap},
    {kTagManual, ButtonKind::kick, toCRect(layout::manual), kManualBitmap},
};

void nameOf(CPresetSystemEffect& effect, int32_t index, char* text) {
    copyProgramName(effect.program(index), text);
}

}  // namespace

// --- open and close ------------------------------------------------------------------------

bool CPresetSystemEditor::open(void*) {
    if (!frame) return false;
    buildBar();
    idleTimer.start(guiTicks());
    frame->addTimer(&idleTimer);
    return true;
}

void CPresetSystemEditor::buildBar() {
    const SharedPointer<CBitmap> background(newArtworkBitmap(kBackgroundBitmap));
    char name[kProgramNameBytes + 1] = {};
    if (owner) nameOf(*owner, owner->getCurrentProgram(), name);

    nameField = new CTextEdit(kNameRect, this, kTagName, name, background.get());
    nameField->setBackOffset({kNameRect.left, kNameRect.top});
    auto* font = new CFontDesc("Arial", kNameFontSize);
    nameField->setFont(font);
    font->forget();
    nameField->setFontColor(kNameInk);
    nameField->setBackColor(kNamePaper);
    nameField->setFrameColor(kNameInk);
    nameField->setHoriAlign(kCenterText);
    // As high as the font and 4 pixels, centred on the rectangle.
    const CCoord height = kNameFontSize + 4;
    const CCoord top = (kNameRect.top + kNameRect.bottom - height) / 2;
    nameField->setViewSize(CRect(kNameRect.left, top, kNameRect.right, top + height));
    frame->addView(nameField);

    programMenu = new COptionMenu(kMenuRect, this, kTagMenu, background.get(), CParamDisplay::kNoDrawStyle);
    programMenu->setBackOffset({kMenuRect.left, kMenuRect.top});
    programMenu->setNbItemsPerColumn(kMenuRows);
    for (int32_t k = 0; k < kNumPrograms; ++k) {
        char title[kProgramNameBytes + 1] = {};
        if (owner) nameOf(*owner, k, title);
        programMenu->addEntry(title);
    }
    if (owner) programMenu->setCurrent(owner->getCurrentProgram());
    frame->addView(programMenu);

    const SharedPointer<CBitmap> rockerImages(newArtworkBitmap(kRockerBitmap));
    rocker = new CPSRockerSwitch(kRockerRect, this, kTagRocker, rockerImages->getHeight() / 5,
                                 rockerImages.get());
    frame->addView(rocker);

    for (const ButtonPlace& place : kButtons) {
        const SharedPointer<CBitmap> images(newArtworkBitmap(place.bitmap));
        const CCoord imageHeight = images->getHeight() / 3;
        CControl* control;
        if (place.kind == ButtonKind::saveLoad) {
            auto* b = new CSaveLoadButton(place.rect, this, place.tag, imageHeight, images.get());
            if (place.tag == kTagLoadBank) loadBankButton = b;
            if (place.tag == kTagSaveBank) saveBankButton = b;
            if (place.tag == kTagLoadPreset) loadPresetButton = b;
            if (place.tag == kTagSavePreset) savePresetButton = b;
            control = b;
        } else {
            auto* b = new CPSKickButton(place.rect, this, place.tag, imageHeight, images.get(), {},
                                        place.kind == ButtonKind::twoAction);
            if (place.tag == kTagDefaultBank) defaultBankButton = b;
            if (place.tag == kTagDefaultProgram) defaultProgramButton = b;
            if (place.tag == kTagStoreA) storeAButton = b;
            if (place.tag == kTagStoreB) storeBButton = b;
            if (place.tag == kTagRecallA) recallAButton = b;
            if (place.tag == kTagRecallB) recallBButton = b;
            if (place.tag == kTagManual) manualButton = b;
            control = b;
        }
        frame->addView(control);
    }
}

void CPresetSystemEditor::close() {
    if (frame) frame->removeTimer(&idleTimer);
    idleTimer.stop();
    forgetBar();
    manualOpener.reset();
}

void CPresetSystemEditor::frameClosing() {
    // However the window goes (also from inside the editor's pump), the bar goes with it.
    idleTimer.stop();
    forgetBar();
    manualOpener.reset();
}

void CPresetSystemEditor::forgetBar() {
    nameField = nullptr;
    programMenu = nullptr;
    rocker = nullptr;
    loadBankButton = saveBankButton = loadPresetButton = savePresetButton = nullptr;
    defaultBankButton = defaultProgramButton = nullptr;
    storeAButton = storeBButton = recallAButton = recallBButton = manualButton = nullptr;
}

void CPresetSystemEditor::idle() {
    AEffGUIEditor::idle();
    pollManualOpener();
}

int32_t CPresetSystemEditor::parameterOfControl(CControl* control) {
    const int32_t tag = control->getTag();
    if (tag >= kFirstBarTag && tag <= kLastBarTag) return -1;
    return AEffGUIEditor::parameterOfControl(control);
}

// --- updates from the preset system ----------------------------------------------------------

void CPresetSystemEditor::showProgramName(const char* name) {
    if (!hasWindow() || !nameField || !programMenu) return;
    nameField->setText(name);
    programMenu->setEntryTitle(programMenu->getCurrentIndex(), name);
}

void CPresetSystemEditor::showBankInMenu(const bool*, int32_t selected) {
    if (!hasWindow() || !nameField || !programMenu || !owner) return;
    // Every title is refreshed: cheap, and right whatever the load named.
    char title[kProgramNameBytes + 1];
    for (int32_t k = 0; k < kNumPrograms; ++k) {
        nameOf(*owner, k, title);
        programMenu->setEntryTitle(k, title);
    }
    programMenu->setCurrent(selected);
    nameOf(*owner, selected, title);
    nameField->setText(title);
}

// --- the control handler ----------------------------------------------------------------------

void CPresetSystemEditor::valueChanged(CControl* control) {
    if (!owner || !control) return;
    const float value = control->getValue();
    switch (control->getTag()) {
        case kTagName: nameTyped(); break;
        case kTagRocker: stepProgram(value); break;
        case kTagLoadBank: loadBankFile(value == 0.5f); break;
        case kTagSaveBank: saveBankFile(); break;
        case kTagLoadPreset: loadPresetFile(value == 0.5f); break;
        case kTagSavePreset: savePresetFile(); break;
        case kTagMenu: programChosen(); break;
        case kTagDefaultBank: value < 0.75f ? clearDefaultBank() : storeDefaultBank(); break;
        case kTagDefaultProgram: value < 0.75f ? clearDefaultProgram() : storeDefaultProgram(); break;
        case kTagStoreA: storeMemoA(); break;
        case kTagStoreB: storeMemoB(); break;
        case kTagRecallA: recallMemoA(); break;
        case kTagRecallB: recallMemoB(); break;
        case kTagManual: openUserManual(); break;
        default: break;
    }
}

void CPresetSystemEditor::nameTyped() {
    if (!nameField || !programMenu) return;
    // The field shows and the menu keeps 24 bytes, the store 23: both cut on
    // a whole character, with control characters and broken bytes dropped.
    char name[kShownNameBytes + 1];
    cleanTypedName(nameField->getText(), name, kShownNameBytes);
    nameField->setText(name);
    programMenu->setEntryTitle(programMenu->getCurrentIndex(), name);
    owner->renameCurrentProgram(name);
}

void CPresetSystemEditor::stepProgram(float direction) {
    int32_t p = owner->getCurrentProgram();
    if (direction > 0)
        p = std::min(p + 1, kNumPrograms - 1);
    else if (direction < 0)
        p = std::max(p - 1, 0);
    else
        return;
    char name[kProgramNameBytes + 1];
    nameOf(*owner, p, name);
    switchToProgram(p, name);
}

void CPresetSystemEditor::programChosen() {
    if (!programMenu) return;
    const auto p = static_cast<int32_t>(programMenu->getValue() + 0.5f);
    if (p < 0 || p >= kNumPrograms) return;
    const char* title = programMenu->getEntryTitle(p);
    char name[kShownNameBytes + 1] = {};
    std::strncpy(name, title ? title : "", kShownNameBytes);
    switchToProgram(p, name);
}

void CPresetSystemEditor::switchToProgram(int32_t p, const char* name) {
    if (programMenu) programMenu->setCurrent(p);
    if (nameField) nameField->setText(name);
    owner->selectProgram(p);
    owner->renameCurrentProgram(name);
}

}  // namespace vexal
