// The Windows Runtime base functions that pravel uses: runtime strings and
// activation factories. They live in combase.dll, which is loaded at run time
// from the system folder (Windows 8 and later; on older systems every call
// here fails). Nothing here throws.
#pragma once

#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace pravel {

// `text` as a runtime string (an empty text gives the null string). False
// when combase is missing or the string cannot be created.
bool MakeHString(const wchar_t* text, size_t length, UniqueHString& out) noexcept;
inline bool MakeHString(const std::wstring& text, UniqueHString& out) noexcept {
    return MakeHString(text.c_str(), text.size(), out);
}
// The characters of a runtime string; empty for the null string.
std::wstring HStringText(HSTRING value);

// One runtime class's activation factory for one interface, obtained once
// per process: the first success is kept for the lifetime of the process and
// shared by every thread (it is never released); a failure is not kept, so a
// later call tries again. Safe to call from several threads at once. The
// calling thread must have entered a COM apartment. When a factory is first
// obtained the multithreaded apartment is kept alive for the rest of the
// process (CoIncrementMTAUsage, where the platform has it), so that the
// apartment the factory was made in, and the DLL behind it, outlive the short
// threads that use it.
class ActivationFactoryCache {
  public:
    constexpr ActivationFactoryCache(const wchar_t* className, const GUID& iid)
        : className_(className), iid_(iid) {}
    ActivationFactoryCache(const ActivationFactoryCache&) = delete;
    ActivationFactoryCache& operator=(const ActivationFactoryCache&) = delete;

    // S_OK with a borrowed pointer in `factory`, or the failure's HRESULT
    // (REGDB_E_CLASSNOTREG for an unknown class, E_NOTIMPL without combase).
    HRESULT Get(void** factory) noexcept;

  private:
    const wchar_t* className_;
    GUID iid_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    void* factory_ = nullptr;
};

}  // namespace pravel
