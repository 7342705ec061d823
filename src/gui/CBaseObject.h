// Reference counting for the toolkit's shared objects (views, bitmaps,
// fonts): whoever keeps an object calls remember(), and forget() when done;
// the last forget() deletes it. UI thread only.
#pragma once

#include <cstdint>

namespace vexal {

class CBaseObject {
public:
    CBaseObject() = default;
    virtual ~CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    void remember() { ++references; }
    void forget() {
        if (--references == 0) delete this;
    }
    int32_t getNbReference() const { return references; }

private:
    int32_t references = 1;
};

// Holds one reference for its lifetime.
template <class T>
class SharedPointer {
public:
    SharedPointer() = default;
    explicit SharedPointer(T* p, bool adopt = true) : ptr(p) {
        if (ptr && !adopt) ptr->remember();
    }
    SharedPointer(const SharedPointer& o) : ptr(o.ptr) {
        if (ptr) ptr->remember();
    }
    SharedPointer& operator=(const SharedPointer& o) {
        if (o.ptr) o.ptr->remember();
        reset();
        ptr = o.ptr;
        return *this;
    }
    ~SharedPointer() { reset(); }
    void reset() {
        if (ptr) ptr->forget();
        ptr = nullptr;
    }
    T* get() const { return ptr; }
    T* operator->() const { return ptr; }
    explicit operator bool() const { return ptr != nullptr; }

private:
    T* ptr = nullptr;
};

}  // namespace vexal
