#pragma once
// Move-only owners for operating-system handles, so that no code closes a handle by hand.
#include <windows.h>
#include <utility>

namespace ornivel {

template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() noexcept : value_(Traits::invalid()) {}
    explicit UniqueResource(Value value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return Traits::isValid(value_); }
    explicit operator bool() const noexcept { return valid(); }

    Value release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(Value value = Traits::invalid()) noexcept {
        Value old = std::exchange(value_, value);
        if (Traits::isValid(old)) Traits::close(old);
    }
    // For APIs that return the handle through an out parameter.
    Value* receive() noexcept { reset(); return &value_; }

private:
    Value value_;
};

// Kernel handles: both null and INVALID_HANDLE_VALUE mean "none".
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value invalid() noexcept { return nullptr; }
    static bool isValid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void close(Value v) noexcept { ::CloseHandle(v); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct FindHandleTraits {
    using Value = HANDLE;
    static Value invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isValid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void close(Value v) noexcept { ::FindClose(v); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

struct RegKeyTraits {
    using Value = HKEY;
    static Value invalid() noexcept { return nullptr; }
    static bool isValid(Value v) noexcept { return v != nullptr; }
    static void close(Value v) noexcept { ::RegCloseKey(v); }
};
using UniqueRegKey = UniqueResource<RegKeyTraits>;

struct ModuleTraits {
    using Value = HMODULE;
    static Value invalid() noexcept { return nullptr; }
    static bool isValid(Value v) noexcept { return v != nullptr; }
    static void close(Value v) noexcept { ::FreeLibrary(v); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

} // namespace ornivel
