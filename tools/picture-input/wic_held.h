// A COM interface of the Windows Imaging Component, released when it goes
// out of scope.
#pragma once

namespace splash {

template <typename T>
struct Held {
    T* p = nullptr;
    ~Held() { if (p != nullptr) p->Release(); }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

}  // namespace splash
