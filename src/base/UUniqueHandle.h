// A move-only owner of one handle whose release function is fixed at compile time, one
// line per kind of handle (see ui/UHandles_win.h and the folder browser's item list in
// platform/Platform_win.cpp). Portable: it knows nothing of the handles it owns.
#pragma once

#include <utility>

namespace tarvik::base {

template <typename Handle, auto Close>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    Handle release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != nullptr) {
            Close(old);
        }
    }

private:
    Handle handle_ = nullptr;
};

}  // namespace tarvik::base
