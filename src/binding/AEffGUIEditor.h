// The editor base of our view toolkit: the host's editor requests for a
// window of a fixed size (the product's editor sets it), and the pump that drives an open window.
//
// Work happens in pump(): drain the window's events, fire the toolkit's
// timers, run the editor's idle service, draw what is dirty and present it.
// The host drives it through effEditIdle; while the window is open and the
// host has not called idle for kFallbackAfterMs, a thread of ours pumps at
// about 30 Hz until the host's idle calls return. Every pump, open, close and
// key request holds editorMutex, so the two never overlap. On that thread
// only audioMasterAutomate reaches the host; the other callbacks wait for the
// host's next call on its own thread (see vst::AudioEffect).
//
// A host may close, reopen or delete us from inside any callback a pump
// makes: the pump holds its frame, so the views on the stack outlive a close;
// the window leaves the screen at once; a thread never waits for itself.
// While the window cannot be seen nothing is drawn or presented.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "gui/CControl.h"
#include "vst/AEffEditor.h"

namespace vexal {

class CFrame;

class AEffGUIEditor : public vst::AEffEditor, public IControlListener {
public:
    static constexpr uint32_t kFallbackAfterMs = 250;
    static constexpr uint32_t kFallbackPeriodMs = 33;

    explicit AEffGUIEditor(vst::AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(vst::ERect** r) override;
    // Records the parent window; the subclass builds the frame and calls
    // openFrame (or openOffscreen) with it.
    bool open(void* parentWindow) override;
    void close() override;
    // The editor's own idle work, run from the pump; the base runs the frame's idle.
    void idle() override;
    void hostIdle() override;
    bool onKeyDown(int32_t character, int32_t virtualKey, int32_t modifiers) override;
    bool onKeyUp(int32_t character, int32_t virtualKey, int32_t modifiers) override;

    // True while the host has the window open; controls exist only then.
    bool hasWindow() const { return frame != nullptr; }
    CFrame* getFrame() const { return frame; }

    // One round of work (see above). Also used offscreen by tests and the
    // snapshot, where there are no window events.
    void pump();
    // A pump from the window's own timer on the host's UI thread: it stands
    // for the host's idle, and skips its turn while a pump runs elsewhere.
    void timerPump();

    // IControlListener: the host sees a gesture as automation.
    void valueChanged(CControl*) override {}
    void controlBeginEdit(CControl* control) override;
    void controlEndEdit(CControl* control) override;

    // For tests: whether the fallback thread is running, and how many pumps it made.
    bool fallbackRunning() const { return fallbackThread.joinable(); }
    uint32_t fallbackPumps() const { return fallbackPumpCount.load(std::memory_order_relaxed); }

protected:
    // The size getRect answers, set once by the product's editor.
    void setWindowSize(int16_t width, int16_t height);
    // Adopts the frame and puts it on screen in the recorded parent window;
    // on failure the frame is destroyed and false answered.
    bool openFrame(CFrame* newFrame);
    // Adopts the frame without a window (snapshots, tests).
    void openOffscreen(CFrame* newFrame);
    // Destroys the frame and every view in it.
    void closeFrame();
    // The frame is about to go (whenever and however it closes): pointers to
    // its views must be dropped here.
    virtual void frameClosing() {}
    // Runs in every pump after the idle service, before drawing.
    virtual void pumped() {}
    // The parameter a control edits; −1 for none (begin/end edit are not sent).
    virtual int32_t parameterOfControl(CControl* control) { return control->getTag(); }

    vst::ERect rect{};
    CFrame* frame = nullptr;
    std::recursive_mutex editorMutex;

private:
    void startFallback();
    void stopFallback();
    void fallbackLoop();
    bool onFallbackThread() const;

    bool pumping = false;
    std::atomic<uint32_t> lastHostIdle{0};
    std::thread fallbackThread;
    std::mutex fallbackWakeMutex;
    std::condition_variable fallbackWake;
    bool fallbackStop = false;
    bool fallbackExited = false;  // its loop has ended; the thread waits to be joined
    std::atomic<uint32_t> fallbackPumpCount{0};
};

}  // namespace vexal
