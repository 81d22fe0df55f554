#include "kestin/PropertySecuring.h"

#include "kestin/SecuredText.h"

// Windows Installer functions, imported from msi.dll by ordinal (74 and 145)
// through the import library built from msi_ordinals*.def.
extern "C" {
UINT WINAPI MsiGetPropertyW(unsigned long install, const wchar_t* name, wchar_t* value,
                            DWORD* length);
UINT WINAPI MsiSetPropertyW(unsigned long install, const wchar_t* name, const wchar_t* value);
}

namespace kestin {

namespace {

// A heap block of wide characters, wiped and freed when it goes.
class WideBlock {
  public:
    WideBlock() = default;
    ~WideBlock() { Free(); }
    WideBlock(const WideBlock&) = delete;
    WideBlock& operator=(const WideBlock&) = delete;

    bool Allocate(size_t chars) {
        Free();
        data_ = static_cast<wchar_t*>(
            ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, chars * sizeof(wchar_t)));
        chars_ = data_ != nullptr ? chars : 0;
        return data_ != nullptr;
    }
    wchar_t* Data() const { return data_; }

  private:
    void Free() {
        if (data_ != nullptr) {
            ::SecureZeroMemory(data_, chars_ * sizeof(wchar_t));
            ::HeapFree(::GetProcessHeap(), 0, data_);
            data_ = nullptr;
            chars_ = 0;
        }
    }
    wchar_t* data_ = nullptr;
    size_t chars_ = 0;
};

// Reads property `name`; an unset property or a failed read gives an empty
// text. False only when no memory could be had.
bool ReadProperty(unsigned long install, const wchar_t* name, WideBlock& value, size_t& length) {
    wchar_t probe[1] = {L'\0'};
    DWORD size = 0;
    const UINT status = MsiGetPropertyW(install, name, probe, &size);
    length = 0;
    if (!value.Allocate(static_cast<size_t>(size) + 1)) return false;
    if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS) return true;
    DWORD capacity = size + 1;
    if (MsiGetPropertyW(install, name, value.Data(), &capacity) == ERROR_SUCCESS) {
        length = capacity;
    } else {
        value.Data()[0] = L'\0';
    }
    return true;
}

UINT SetPropertyThroughMsi(unsigned long install, const wchar_t* name, const wchar_t* value) {
    return MsiSetPropertyW(install, name, value);
}

PropertySetter g_setProperty = &SetPropertyThroughMsi;

// The next name of the blank-separated list `names` (blanks already turned
// into NULs) from `start` on, skipping empty pieces; null at its end.
const wchar_t* NextName(const wchar_t* names, size_t length, size_t& start) {
    while (start < length) {
        const wchar_t* name = names + start;
        start += static_cast<size_t>(lstrlenW(name)) + 1;
        if (name[0] != L'\0') return name;
    }
    return nullptr;
}

}  // namespace

void SetPropertySetter(PropertySetter setter) {
    g_setProperty = setter != nullptr ? setter : &SetPropertyThroughMsi;
}

UINT SecureProperties(unsigned long install) {
    WideBlock data;
    size_t length = 0;
    if (!ReadProperty(install, L"CustomActionData", data, length) || length == 0) {
        return ERROR_FUNCTION_FAILED;
    }
    wchar_t* names = data.Data();
    size_t count = 0;
    for (size_t i = 0; i < length; ++i) {
        if (names[i] == L' ') names[i] = L'\0';
        if (names[i] != L'\0' && (i == 0 || names[i - 1] == L'\0')) ++count;
    }
    if (count == 0) return ERROR_SUCCESS;

    // Every value is secured before the first property is set: a value that
    // cannot be secured leaves all of them as they were. The plain values are
    // kept (wiped when they go) to put back the properties already set when
    // a later one cannot be set (a deferred action may set none): all or
    // none. A value that was secured has at most kMaxPlainChars characters.
    constexpr size_t kSlot = kMaxSecuredChars + 1;
    constexpr size_t kPlainSlot = kMaxPlainChars + 1;
    WideBlock secured;
    WideBlock plain;
    if (!secured.Allocate(count * kSlot) || !plain.Allocate(count * kPlainSlot)) {
        return ERROR_FUNCTION_FAILED;
    }
    size_t slot = 0;
    size_t start = 0;
    for (const wchar_t* name; (name = NextName(names, length, start)) != nullptr; ++slot) {
        WideBlock value;
        size_t valueLength = 0;
        size_t securedLength = 0;
        if (!ReadProperty(install, name, value, valueLength) ||
            SecureString(value.Data(), valueLength, secured.Data() + slot * kSlot, securedLength) !=
                0) {
            return ERROR_FUNCTION_FAILED;
        }
        ::lstrcpynW(plain.Data() + slot * kPlainSlot, value.Data(), kPlainSlot);
    }
    size_t set = 0;
    start = 0;
    for (const wchar_t* name; (name = NextName(names, length, start)) != nullptr; ++set) {
        if (g_setProperty(install, name, secured.Data() + set * kSlot) == ERROR_SUCCESS) continue;
        // Back to the earlier values, the failed one included (it may have
        // changed all the same). Every value was read before the first set,
        // so a name given twice gets the same earlier value both times.
        size_t again = 0;
        for (size_t k = 0; k <= set; ++k) {
            g_setProperty(install, NextName(names, length, again), plain.Data() + k * kPlainSlot);
        }
        return ERROR_FUNCTION_FAILED;
    }
    return ERROR_SUCCESS;
}

}  // namespace kestin
