// A repeating timer of the toolkit, fired by the frame from the editor's
// pump (never from a thread of its own).
#pragma once

#include <cstdint>

namespace vexal {

class CTimer {
public:
    explicit CTimer(uint32_t intervalMs) : interval(intervalMs) {}
    virtual ~CTimer() = default;
    virtual void fire() = 0;

    uint32_t getInterval() const { return interval; }
    bool isRunning() const { return running; }
    // Fires once `now` has reached the next due time; answers whether it did.
    bool fireIfDue(uint32_t now) {
        if (!running || static_cast<int32_t>(now - due) < 0) return false;
        due = now + interval;
        fire();
        return true;
    }
    void start(uint32_t now) {
        running = true;
        due = now + interval;
    }
    void stop() { running = false; }

private:
    uint32_t interval;
    uint32_t due = 0;
    bool running = false;
};

}  // namespace vexal
