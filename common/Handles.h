// The one family of RAII owners for platform handles. Each owner has an
// explicit empty value, closes what it owns exactly once, is movable and not
// copyable. Get() lends the handle; Put() hands out the address for APIs that
// return a handle through a pointer (the old one is closed first).
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>
#include <hstring.h>
#include <unknwn.h>

#include <utility>

#include "common/SystemLibrary.h"

namespace pravel {

template <typename Traits>
class UniqueOwner {
  public:
    using Type = typename Traits::Type;

    UniqueOwner() noexcept = default;
    explicit UniqueOwner(Type value) noexcept : value_(value) {}
    ~UniqueOwner() { Reset(); }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : value_(other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const noexcept { return value_; }
    bool IsValid() const noexcept { return value_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return IsValid(); }

    Type Release() noexcept { return std::exchange(value_, Traits::Empty()); }
    void Reset(Type value = Traits::Empty()) noexcept {
        Type old = std::exchange(value_, value);
        if (old != Traits::Empty()) Traits::Close(old);
    }
    Type* Put() noexcept {
        Reset();
        return &value_;
    }

  private:
    Type value_ = Traits::Empty();
};

struct HandleTraits {  // kernel objects: process, thread, event, mutex
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FileTraits {  // CreateFileW results
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};
struct LocalMemTraits {
    using Type = HLOCAL;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::LocalFree(h); }
};
struct CryptProvTraits {
    using Type = HCRYPTPROV;
    static Type Empty() { return 0; }
    static void Close(Type h) { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static Type Empty() { return 0; }
    static void Close(Type h) { ::CryptDestroyHash(h); }
};
struct CryptKeyTraits {
    using Type = HCRYPTKEY;
    static Type Empty() { return 0; }
    static void Close(Type h) { ::CryptDestroyKey(h); }
};

struct InternetTraits {  // wininet.dll is not a known DLL: closed through the system loader
    using Type = HINTERNET;
    static Type Empty() { return nullptr; }
    static void Close(Type h) {
        static const auto close =
            SystemFunction<decltype(&::InternetCloseHandle)>(L"wininet.dll", "InternetCloseHandle");
        if (close != nullptr) close(h);
    }
};

struct HStringTraits {  // combase.dll is loaded at run time: deleted through the system loader
    using Type = HSTRING;
    static Type Empty() { return nullptr; }
    static void Close(Type h) {
        using DeleteFn = HRESULT(WINAPI*)(HSTRING);
        static const auto remove = SystemFunction<DeleteFn>(L"combase.dll", "WindowsDeleteString");
        if (remove != nullptr) remove(h);
    }
};
template <typename Interface>
struct ComTraits {  // one reference to a COM (or Windows Runtime) object
    using Type = Interface*;
    static Type Empty() { return nullptr; }
    static void Close(Type p) { p->Release(); }
};

using UniqueHandle = UniqueOwner<HandleTraits>;
using UniqueFile = UniqueOwner<FileTraits>;
using UniqueFind = UniqueOwner<FindTraits>;
using UniqueHKey = UniqueOwner<RegKeyTraits>;
using UniqueModule = UniqueOwner<ModuleTraits>;
using UniqueLocalMem = UniqueOwner<LocalMemTraits>;
using UniqueCryptProv = UniqueOwner<CryptProvTraits>;
using UniqueCryptHash = UniqueOwner<CryptHashTraits>;
using UniqueCryptKey = UniqueOwner<CryptKeyTraits>;
using UniqueInternet = UniqueOwner<InternetTraits>;
using UniqueHString = UniqueOwner<HStringTraits>;
template <typename Interface>
using UniqueCom = UniqueOwner<ComTraits<Interface>>;

}  // namespace pravel
