// Host callbacks made on a thread of ours, waiting for the host's own thread.
//
// Hosts take audioMasterAutomate from any thread, but beginEdit, endEdit,
// updateDisplay and the like only from their own threads. Those our threads
// make are queued here and delivered, in order, at the host's next call on its
// user-interface thread. A full queue drops a begin/end pair it holds whole
// rather than unbalance one; repeated display updates are sent once.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vst {

class HostCallQueue {
public:
    static constexpr int kCapacity = 64;

    struct Call {
        int32_t opcode = 0;
        int32_t index = 0;
        intptr_t value = 0;
    };

    // False when the call could not be kept (the queue is full of unpaired calls).
    bool push(const Call& call);
    // Takes the oldest call; false when there is none.
    bool pop(Call& call);
    bool empty() const { return count.load(std::memory_order_acquire) == 0; }
    void clear();

private:
    int find(int32_t opcode, int32_t index) const;
    void erase(int position);

    mutable std::mutex mutex;
    Call calls[kCapacity];
    std::atomic<int> count{0};
    uint64_t droppedBegins = 0;  // parameters whose gesture lost its beginning
};

}  // namespace vst
