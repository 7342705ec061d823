#include "HostCallQueue.h"

#include "aeffect.h"

namespace vst {

int HostCallQueue::find(int32_t opcode, int32_t index) const {
    const int n = count.load(std::memory_order_relaxed);
    for (int i = 0; i < n; ++i)
        if (calls[i].opcode == opcode && calls[i].index == index) return i;
    return -1;
}

void HostCallQueue::erase(int position) {
    const int n = count.load(std::memory_order_relaxed);
    for (int i = position; i + 1 < n; ++i) calls[i] = calls[i + 1];
    count.store(n - 1, std::memory_order_release);
}

bool HostCallQueue::push(const Call& call) {
    std::lock_guard<std::mutex> lock(mutex);
    const uint64_t bit = call.index >= 0 && call.index < 64 ? uint64_t{1} << call.index : 0;
    // The end of a gesture whose beginning found the queue full goes the same way.
    if (call.opcode == audioMasterEndEdit && (droppedBegins & bit) != 0) {
        droppedBegins &= ~bit;
        return true;
    }
    const bool once = call.opcode == audioMasterUpdateDisplay || call.opcode == audioMasterIOChanged;
    if (once && find(call.opcode, call.index) >= 0) return true;
    if (call.opcode == audioMasterSizeWindow) {
        if (const int old = find(call.opcode, call.index); old >= 0) erase(old);
    }
    const int n = count.load(std::memory_order_relaxed);
    if (n == kCapacity) {
        // A gesture that began and ended while the host was away: neither half is sent.
        if (call.opcode == audioMasterEndEdit) {
            if (const int begin = find(audioMasterBeginEdit, call.index); begin >= 0) {
                erase(begin);
                return true;
            }
        }
        if (call.opcode == audioMasterBeginEdit) droppedBegins |= bit;
        return false;
    }
    calls[n] = call;
    count.store(n + 1, std::memory_order_release);
    return true;
}

bool HostCallQueue::pop(Call& call) {
    std::lock_guard<std::mutex> lock(mutex);
    if (count.load(std::memory_order_relaxed) == 0) return false;
    call = calls[0];
    erase(0);
    return true;
}

void HostCallQueue::clear() {
    std::lock_guard<std::mutex> lock(mutex);
    count.store(0, std::memory_order_release);
    droppedBegins = 0;
}

}  // namespace vst
