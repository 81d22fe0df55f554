#include "launch/WindowsRuntime.h"

#include <cwchar>

#include "common/SystemLibrary.h"

namespace pravel {

namespace {

constexpr wchar_t kCombase[] = L"combase.dll";

using CreateStringFn = HRESULT(WINAPI*)(const wchar_t*, UINT32, HSTRING*);
using RawBufferFn = const wchar_t*(WINAPI*)(HSTRING, UINT32*);
using GetFactoryFn = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
using MtaUsageFn = HRESULT(WINAPI*)(void**);

void KeepMultithreadedApartment() noexcept {
    static const bool kept = [] {
        const auto increment = SystemFunction<MtaUsageFn>(kCombase, "CoIncrementMTAUsage");
        void* cookie = nullptr;
        return increment != nullptr && SUCCEEDED(increment(&cookie));
    }();
    (void)kept;
}

}  // namespace

bool MakeHString(const wchar_t* text, size_t length, UniqueHString& out) noexcept {
    static const auto create = SystemFunction<CreateStringFn>(kCombase, "WindowsCreateString");
    if (create == nullptr || length > 0x7FFFFFFF) return false;
    HSTRING value = nullptr;
    if (FAILED(create(text, static_cast<UINT32>(length), &value))) return false;
    out.Reset(value);
    return true;
}

std::wstring HStringText(HSTRING value) {
    static const auto buffer = SystemFunction<RawBufferFn>(kCombase, "WindowsGetStringRawBuffer");
    if (value == nullptr || buffer == nullptr) return std::wstring();
    UINT32 length = 0;
    const wchar_t* characters = buffer(value, &length);
    return characters == nullptr ? std::wstring() : std::wstring(characters, length);
}

HRESULT ActivationFactoryCache::Get(void** factory) noexcept {
    *factory = nullptr;
    static const auto getFactory = SystemFunction<GetFactoryFn>(kCombase, "RoGetActivationFactory");
    if (getFactory == nullptr) return E_NOTIMPL;
    HRESULT hr = S_OK;
    ::AcquireSRWLockExclusive(&lock_);
    if (factory_ == nullptr) {
        UniqueHString name;
        if (!MakeHString(className_, std::wcslen(className_), name)) {
            hr = E_OUTOFMEMORY;
        } else {
            void* obtained = nullptr;
            hr = getFactory(name.Get(), iid_, &obtained);
            if (SUCCEEDED(hr) && obtained == nullptr) hr = E_POINTER;
            if (SUCCEEDED(hr)) {
                factory_ = obtained;
                KeepMultithreadedApartment();
            }
        }
    }
    *factory = factory_;
    ::ReleaseSRWLockExclusive(&lock_);
    return factory_ != nullptr ? S_OK : hr;
}

}  // namespace pravel
