#include "kestin/Exports.h"

#include "kestin/PropertySecuring.h"
#include "kestin/SecuredText.h"

namespace {

size_t TextLength(const wchar_t* text) {
    return text == nullptr ? 0 : static_cast<size_t>(lstrlenW(text));
}

// Copies at most size-1 characters and terminates the copy and the last
// position of the buffer. Does nothing without a buffer or with size 0.
void CopyOut(const wchar_t* result, size_t length, wchar_t* buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return;
    const size_t n = length < size - 1 ? length : size - 1;
    for (size_t i = 0; i < n; ++i) buffer[i] = result[i];
    buffer[n] = L'\0';
    buffer[size - 1] = L'\0';
}

// Runs securing or revealing into a buffer on the stack, wiped afterwards.
template <size_t Capacity, typename Operation>
class Result {
  public:
    Result(Operation operation, const wchar_t* text) {
        if (text == nullptr || operation(text, TextLength(text), chars_, length_) != 0) {
            chars_[0] = L'\0';
            length_ = 0;
        }
    }
    ~Result() { SecureZeroMemory(chars_, sizeof(chars_)); }
    const wchar_t* Chars() const { return chars_; }
    size_t Length() const { return length_; }

  private:
    wchar_t chars_[Capacity + 1] = {};
    size_t length_ = 0;
};

using Secured = Result<kestin::kMaxSecuredChars, decltype(&kestin::SecureString)>;
using Revealed = Result<kestin::kMaxPlainChars, decltype(&kestin::RevealString)>;

}  // namespace

extern "C" {

UINT WINAPI AddSecuredProp(MSIHANDLE install) {
    return kestin::SecureProperties(install);
}

void WINAPI SecureText(const wchar_t* text, wchar_t* buffer, DWORD size) {
    if (buffer == nullptr) return;
    const Secured result(&kestin::SecureString, text);
    CopyOut(result.Chars(), result.Length(), buffer, size);
}

int WINAPI GetSecuredTextLength(const wchar_t* text) {
    return static_cast<int>(Secured(&kestin::SecureString, text).Length());
}

void WINAPI RevealText(const wchar_t* text, wchar_t* buffer, DWORD size) {
    if (buffer == nullptr) return;
    const Revealed result(&kestin::RevealString, text);
    CopyOut(result.Chars(), result.Length(), buffer, size);
}

int WINAPI GetRevealedTextLength(const wchar_t* text) {
    return static_cast<int>(Revealed(&kestin::RevealString, text).Length());
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}

}  // extern "C"
