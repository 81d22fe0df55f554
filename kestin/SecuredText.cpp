#include "kestin/SecuredText.h"

#include <wincrypt.h>

#include "common/Handles.h"
#include "kestin/KeyPhrase.h"

namespace kestin {

namespace {

using pravel::UniqueCryptHash;
using pravel::UniqueCryptKey;
using pravel::UniqueCryptProv;

// The per-operation working buffer, wiped before it is freed.
class WorkBuffer {
  public:
    WorkBuffer()
        : data_(static_cast<BYTE*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, kWorkBytes))) {
    }
    ~WorkBuffer() {
        if (data_ != nullptr) {
            ::SecureZeroMemory(data_, kWorkBytes);
            ::HeapFree(::GetProcessHeap(), 0, data_);
        }
    }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    BYTE* Data() const { return data_; }

  private:
    BYTE* data_;
};

// Holds the CryptoAPI objects of one operation. Members are destroyed in
// reverse order of declaration: key, then hash, then context.
struct CipherKey {
    UniqueCryptProv context;
    UniqueCryptHash hash;
    UniqueCryptKey key;
};

KeyDerivationCheck g_derivationCheck = nullptr;

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = ::GetLastError();
    return error != 0 ? error : fallback;
}

// Only a key derived from a hash is used, never a stored key pair: a
// verify-only context needs no key container, so nothing lasting is made in
// the user's profile, and a profile whose key store cannot be used does not
// matter.
DWORD DeriveKey(CipherKey& cipher) {
    if (g_derivationCheck != nullptr) {
        if (const DWORD error = g_derivationCheck()) return error;
    }
    if (!::CryptAcquireContextW(cipher.context.Put(), nullptr, MS_DEF_PROV_W, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT)) {
        return LastErrorOr(ERROR_FUNCTION_FAILED);
    }
    if (!::CryptCreateHash(cipher.context.Get(), CALG_MD5, 0, 0, cipher.hash.Put()) ||
        !::CryptHashData(cipher.hash.Get(), kKeyPhrase, sizeof(kKeyPhrase), 0) ||
        !::CryptDeriveKey(cipher.context.Get(), CALG_RC4, cipher.hash.Get(), 0, cipher.key.Put())) {
        return LastErrorOr(ERROR_FUNCTION_FAILED);
    }
    return 0;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

void SetKeyDerivationCheck(KeyDerivationCheck check) {
    g_derivationCheck = check;
}

DWORD SecureString(const wchar_t* plain, size_t length, wchar_t* secured, size_t& securedLength) {
    secured[0] = L'\0';
    securedLength = 0;
    if (length == 0) return 0;
    if (length > kMaxPlainChars) return ERROR_INVALID_DATA;
    WorkBuffer work;
    if (work.Data() == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    CipherKey cipher;
    if (const DWORD error = DeriveKey(cipher)) return error;

    DWORD bytes = static_cast<DWORD>(length * 2);
    for (size_t i = 0; i < length; ++i) {
        const unsigned unit = static_cast<unsigned>(plain[i]) & 0xFFFFu;
        work.Data()[2 * i] = static_cast<BYTE>(unit & 0xFF);
        work.Data()[2 * i + 1] = static_cast<BYTE>(unit >> 8);
    }
    if (!::CryptEncrypt(cipher.key.Get(), 0, TRUE, 0, work.Data(), &bytes, kWorkBytes)) {
        return LastErrorOr(ERROR_FUNCTION_FAILED);
    }
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (DWORD i = 0; i < bytes; ++i) {
        secured[2 * i] = kDigits[work.Data()[i] >> 4];
        secured[2 * i + 1] = kDigits[work.Data()[i] & 0xF];
    }
    securedLength = static_cast<size_t>(bytes) * 2;
    secured[securedLength] = L'\0';
    return 0;
}

DWORD RevealString(const wchar_t* secured, size_t length, wchar_t* plain, size_t& plainLength) {
    plain[0] = L'\0';
    plainLength = 0;
    if (length == 0) return 0;
    if (length % 2 != 0 || length / 2 > kWorkBytes) return ERROR_INVALID_DATA;
    WorkBuffer work;
    if (work.Data() == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD bytes = static_cast<DWORD>(length / 2);
    for (DWORD i = 0; i < bytes; ++i) {
        const int high = HexValue(secured[2 * i]);
        const int low = HexValue(secured[2 * i + 1]);
        if (high < 0 || low < 0) return ERROR_INVALID_DATA;
        work.Data()[i] = static_cast<BYTE>((high << 4) | low);
    }
    CipherKey cipher;
    if (const DWORD error = DeriveKey(cipher)) return error;
    if (!::CryptDecrypt(cipher.key.Get(), 0, TRUE, 0, work.Data(), &bytes)) {
        return LastErrorOr(ERROR_FUNCTION_FAILED);
    }
    plainLength = bytes / 2;
    for (size_t i = 0; i < plainLength; ++i) {
        plain[i] = static_cast<wchar_t>(work.Data()[2 * i] | (work.Data()[2 * i + 1] << 8));
    }
    plain[plainLength] = L'\0';
    return 0;
}

}  // namespace kestin
