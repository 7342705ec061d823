#include "AEffGUIEditor.h"

#include <chrono>

#include "gui/CFrame.h"
#include "gui/GuiClock.h"
#include "platform/ModuleLocation.h"
#include "vst/AudioEffectX.h"

namespace vexal {

AEffGUIEditor::AEffGUIEditor(vst::AudioEffect* effect) : AEffEditor(effect) {}

void AEffGUIEditor::setWindowSize(int16_t width, int16_t height) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = height;
    rect.right = width;
}

AEffGUIEditor::~AEffGUIEditor() {
    if (onFallbackThread()) {
        // Deleted from inside a callback of the fallback's own pump: the
        // thread ends by itself, in code of this library, which must stay loaded.
        platform::keepOwnModuleLoaded();
        fallbackThread.detach();
    }
    stopFallback();
    closeFrame();
}

bool AEffGUIEditor::getRect(vst::ERect** r) {
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow) {
    systemWindow = parentWindow;
    return true;
}

void AEffGUIEditor::close() {
    // From inside our own pump (a host callback) this thread holds the mutex already.
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    stopFallback();
    closeFrame();
    systemWindow = nullptr;
}

bool AEffGUIEditor::openFrame(CFrame* newFrame) {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    const auto tick = [](void* editor) { static_cast<AEffGUIEditor*>(editor)->timerPump(); };
    if (!newFrame->open(systemWindow, tick, this)) {
        newFrame->forget();
        systemWindow = nullptr;
        return false;
    }
    frame = newFrame;
    lastHostIdle.store(guiTicks(), std::memory_order_relaxed);
    startFallback();
    return true;
}

void AEffGUIEditor::openOffscreen(CFrame* newFrame) {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    frame = newFrame;
}

void AEffGUIEditor::closeFrame() {
    if (!frame) return;
    frameClosing();
    CFrame* f = frame;
    frame = nullptr;
    f->dismiss();
    // Destroyed now, or when a pump that holds it returns.
    f->forget();
}

void AEffGUIEditor::idle() {
    if (frame) frame->idle();
}

void AEffGUIEditor::pump() {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    // A host callback made from inside the pump may call back into the editor.
    if (!frame || pumping) return;
    pumping = true;
    // Held while it runs: a close from inside a callback must not destroy the
    // views on the stack. A reopen makes a new frame, which the next pump serves.
    CFrame* f = frame;
    f->remember();
    const auto current = [&] { return frame == f; };
    f->pumpNative();
    if (current()) f->pollSelectors();
    if (current()) f->fireTimers(guiTicks());
    if (current()) idle();
    if (current()) pumped();
    if (current() && f->isShowing()) f->drawDirty();
    pumping = false;
    f->forget();
}

void AEffGUIEditor::timerPump() {
    vst::AudioEffect* owner = effect;
    // The host may delete us from inside a callback of this pump.
    const int call = owner->enterCall();
    {
        std::unique_lock<std::recursive_mutex> lock(editorMutex, std::try_to_lock);
        if (lock.owns_lock() && frame) {
            lastHostIdle.store(guiTicks(), std::memory_order_relaxed);
            owner->deliverHostCalls();
            pump();
        }
    }
    owner->leaveCall(call);
}

void AEffGUIEditor::hostIdle() {
    lastHostIdle.store(guiTicks(), std::memory_order_relaxed);
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    if (frame)
        pump();
    else
        idle();  // the editor's service runs without a window too
}

bool AEffGUIEditor::onKeyDown(int32_t character, int32_t virtualKey, int32_t modifiers) {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    if (!frame) return false;
    VstKeyCode key;
    key.character = static_cast<uint32_t>(character) & 0xFF;
    key.virtualKey = virtualKey;
    // The interface's modifier bits: 1 Shift, 2 Alt, 8 Control.
    key.modifiers = ((modifiers & 1) ? kShift : 0) | ((modifiers & 2) ? kAlt : 0) |
                    ((modifiers & 8) ? kControl : 0);
    if (key.virtualKey != 0 && key.character < 0x20) key.character = 0;
    return frame->onKeyDown(key, CFrame::KeySource::host) > 0;
}

bool AEffGUIEditor::onKeyUp(int32_t, int32_t, int32_t) {
    std::lock_guard<std::recursive_mutex> lock(editorMutex);
    return frame && frame->hasTextFocus();
}

void AEffGUIEditor::controlBeginEdit(CControl* control) {
    const int32_t index = parameterOfControl(control);
    if (index >= 0 && effect) static_cast<vst::AudioEffectX*>(effect)->beginEdit(index);
}

void AEffGUIEditor::controlEndEdit(CControl* control) {
    const int32_t index = parameterOfControl(control);
    if (index >= 0 && effect) static_cast<vst::AudioEffectX*>(effect)->endEdit(index);
}

// --- the idle fallback -------------------------------------------------------------------

bool AEffGUIEditor::onFallbackThread() const {
    return fallbackThread.joinable() && fallbackThread.get_id() == std::this_thread::get_id();
}

void AEffGUIEditor::startFallback() {
    std::unique_lock<std::mutex> lock(fallbackWakeMutex);
    fallbackStop = false;
    if (fallbackThread.joinable()) {
        // Reopened from inside the fallback's own pump: the running thread carries on.
        if (!fallbackExited) return;
        lock.unlock();
        fallbackThread.join();
        lock.lock();
    }
    fallbackExited = false;
    fallbackThread = std::thread([this] { fallbackLoop(); });
}

void AEffGUIEditor::stopFallback() {
    {
        std::lock_guard<std::mutex> lock(fallbackWakeMutex);
        fallbackStop = true;
    }
    fallbackWake.notify_all();
    // Asked from inside its own pump, the thread ends when the pump returns.
    if (fallbackThread.joinable() && !onFallbackThread()) fallbackThread.join();
}

void AEffGUIEditor::fallbackLoop() {
    vst::AudioEffect* owner = effect;
    const std::thread::id me = std::this_thread::get_id();
    owner->deferHostCallsOn(me);
    std::unique_lock<std::mutex> lock(fallbackWakeMutex);
    while (!fallbackStop) {
        fallbackWake.wait_for(lock, std::chrono::milliseconds(kFallbackPeriodMs));
        if (fallbackStop) break;
        const uint32_t silent = guiTicks() - lastHostIdle.load(std::memory_order_relaxed);
        if (silent < kFallbackAfterMs) continue;
        lock.unlock();
        const int call = owner->enterCall();
        {
            // try_lock: a host call in progress holds the editor; skip this round.
            std::unique_lock<std::recursive_mutex> editor(editorMutex, std::try_to_lock);
            if (editor.owns_lock() && frame) {
                pump();
                fallbackPumpCount.fetch_add(1, std::memory_order_relaxed);
            }
        }
        // The host deleted the effect from inside a callback of this pump:
        // this editor is gone with it, and nothing of it may be touched.
        if (owner->leaveCall(call)) return;
        lock.lock();
    }
    fallbackExited = true;
    lock.unlock();
    owner->stopDeferringOn(me);
}

}  // namespace vexal
