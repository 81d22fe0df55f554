// kestin.dll through its real exports, loaded by name like any caller; the
// custom action's failure paths also through the library the DLL is built
// from (its seam around the key derivation).
#include <gtest/gtest.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <wincrypt.h>

#include <string>
#include <thread>
#include <vector>

#include "download/Md5.h"
#include "kestin/KeyPhrase.h"
#include "kestin/PropertySecuring.h"
#include "kestin/SecuredText.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

namespace {

using AddSecuredPropFn = UINT(WINAPI*)(MSIHANDLE);
using TextFn = void(WINAPI*)(const wchar_t*, wchar_t*, DWORD);
using LengthFn = int(WINAPI*)(const wchar_t*);

template <typename Fn>
Fn ProcOf(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class Kestin : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryW(PathFromEnvironment("KESTIN_DLL").c_str());
        ASSERT_NE(nullptr, module_);
        add_ = Proc<AddSecuredPropFn>("AddSecuredProp");
        secure_ = Proc<TextFn>("SecureText");
        securedLength_ = Proc<LengthFn>("GetSecuredTextLength");
        reveal_ = Proc<TextFn>("RevealText");
        revealedLength_ = Proc<LengthFn>("GetRevealedTextLength");
    }
    template <typename Fn>
    static Fn Proc(const char* name) {
        return ProcOf<Fn>(module_, name);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }

    void SetUp() override {
        ASSERT_TRUE(add_ && secure_ && securedLength_ && reveal_ && revealedLength_);
    }

    static std::wstring Secure(const wchar_t* text) {
        std::vector<wchar_t> buffer(static_cast<size_t>(securedLength_(text)) + 1, L'#');
        secure_(text, buffer.data(), static_cast<DWORD>(buffer.size()));
        return buffer.data();
    }
    static std::wstring Reveal(const wchar_t* text) {
        std::vector<wchar_t> buffer(static_cast<size_t>(revealedLength_(text)) + 1, L'#');
        reveal_(text, buffer.data(), static_cast<DWORD>(buffer.size()));
        return buffer.data();
    }

    static HMODULE module_;
    static AddSecuredPropFn add_;
    static TextFn secure_;
    static LengthFn securedLength_;
    static TextFn reveal_;
    static LengthFn revealedLength_;
};

HMODULE Kestin::module_;
AddSecuredPropFn Kestin::add_;
TextFn Kestin::secure_;
LengthFn Kestin::securedLength_;
TextFn Kestin::reveal_;
LengthFn Kestin::revealedLength_;

// The scheme rebuilt without CryptoAPI: the base provider derives a 40-bit
// RC4 key, the first five bytes of the MD5 digest followed by eleven zeros.
std::wstring IndependentSecure(const std::wstring& text) {
    pravel::Md5 md5;
    md5.Update(kestin::kKeyPhrase, sizeof(kestin::kKeyPhrase));
    uint8_t digest[16];
    md5.Final(digest);
    uint8_t key[16] = {};
    memcpy(key, digest, 5);

    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 16]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::wstring hex;
    int i = 0, j = 0;
    for (wchar_t c : text) {
        for (int half = 0; half < 2; ++half) {
            const uint8_t plain = static_cast<uint8_t>(half == 0 ? (c & 0xFF) : (c >> 8));
            i = (i + 1) & 0xFF;
            j = (j + s[i]) & 0xFF;
            std::swap(s[i], s[j]);
            const uint8_t out = plain ^ s[(s[i] + s[j]) & 0xFF];
            hex.push_back(L"0123456789ABCDEF"[out >> 4]);
            hex.push_back(L"0123456789ABCDEF"[out & 0xF]);
        }
    }
    return hex;
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

}  // namespace

TEST_F(Kestin, OneCharacterRoundTrip) {
    const std::wstring secured = Secure(L"x");
    EXPECT_EQ(4u, secured.size());
    EXPECT_EQ(std::wstring::npos, secured.find_first_not_of(L"0123456789ABCDEF"));
    EXPECT_EQ(L"x", Reveal(secured.c_str()));
    EXPECT_EQ(12, securedLength_(L"abc"));
    EXPECT_EQ(3, revealedLength_(Secure(L"abc").c_str()));
}

TEST_F(Kestin, DeterministicAndCaseInsensitiveHex) {
    const std::wstring a = Secure(L"P@ssw0rd!");
    EXPECT_EQ(a, Secure(L"P@ssw0rd!"));
    EXPECT_EQ(L"P@ssw0rd!", Reveal(Lower(a).c_str()));
}

TEST_F(Kestin, SizeLimits) {
    const std::wstring longest(130, L'k');
    const std::wstring secured = Secure(longest.c_str());
    EXPECT_EQ(520u, secured.size());
    EXPECT_EQ(longest, Reveal(secured.c_str()));
    EXPECT_EQ(0, securedLength_(std::wstring(131, L'k').c_str()));
    EXPECT_EQ(L"", Secure(std::wstring(131, L'k').c_str()));
    // 261 bytes and more cannot be revealed.
    EXPECT_EQ(L"", Reveal(std::wstring(522, L'A').c_str()));
    EXPECT_EQ(0, revealedLength_(std::wstring(600, L'0').c_str()));
    EXPECT_EQ(130, revealedLength_(std::wstring(520, L'0').c_str()));
}

TEST_F(Kestin, OddByteCountDropsTheLastByte) {
    const std::wstring secured = Secure(L"ab");  // 8 hex digits
    EXPECT_EQ(L"a", Reveal(secured.substr(0, 6).c_str()));
}

TEST_F(Kestin, MalformedHexRevealsEmpty) {
    const std::wstring secured = Secure(L"ab");
    EXPECT_EQ(L"", Reveal(secured.substr(0, 7).c_str()));  // odd number of digits
    EXPECT_EQ(L"", Reveal((secured.substr(0, 6) + L"G1").c_str()));
    EXPECT_EQ(0, revealedLength_(L"12 4"));
}

TEST_F(Kestin, BufferConvention) {
    const std::wstring secured = Secure(L"hello");
    wchar_t one[1] = {L'#'};
    secure_(L"hello", one, 1);
    EXPECT_EQ(L'\0', one[0]);
    wchar_t shortBuffer[8];
    wmemset(shortBuffer, L'#', 8);
    secure_(L"hello", shortBuffer, 8);
    EXPECT_EQ(secured.substr(0, 7), std::wstring(shortBuffer));
    wchar_t revealed[3];
    reveal_(secured.c_str(), revealed, 3);
    EXPECT_EQ(L"he", std::wstring(revealed));
    // Null buffers and null texts.
    secure_(L"hello", nullptr, 10);
    reveal_(secured.c_str(), nullptr, 10);
    wchar_t out[4] = {L'#', L'#', L'#', L'#'};
    secure_(nullptr, out, 4);
    EXPECT_EQ(L'\0', out[0]);
    out[0] = L'#';
    reveal_(nullptr, out, 4);
    EXPECT_EQ(L'\0', out[0]);
    EXPECT_EQ(0, securedLength_(nullptr));
    EXPECT_EQ(0, revealedLength_(nullptr));
    EXPECT_EQ(0, securedLength_(L""));
    EXPECT_EQ(L"", Secure(L""));
}

TEST_F(Kestin, LengthFunctionsMatchTheTextFunctions) {
    for (const wchar_t* text : {L"a", L"ab", L"a longer text with blanks", L"\x00e9\x4e2d"}) {
        const std::wstring secured = Secure(text);
        EXPECT_EQ(static_cast<int>(secured.size()), securedLength_(text));
        EXPECT_EQ(static_cast<int>(Reveal(secured.c_str()).size()),
                  revealedLength_(secured.c_str()));
    }
}

TEST_F(Kestin, MatchesAnIndependentRc4AndMd5ByteForByte) {
    const std::wstring texts[] = {
        L"x",
        L"secret",
        L"P@ssw0rd!",
        std::wstring(130, L'z'),
        L"\x00e9t\x00e9 \x00fc\x00df",       // Latin-1 letters
        L"\x4e2d\x6587\x5bc6\x7801",         // CJK
        L"\xD83D\xDE00 smile \xD83C\xDF89",  // surrogate pairs
    };
    for (const auto& text : texts) {
        EXPECT_EQ(IndependentSecure(text), Secure(text.c_str())) << Narrow(text);
        EXPECT_EQ(text, Reveal(IndependentSecure(text).c_str())) << Narrow(text);
    }
}

// True when a key container of that name exists for this user.
bool KeyContainerExists(const wchar_t* name) {
    HCRYPTPROV context = 0;
    if (!CryptAcquireContextW(&context, name, MS_DEF_PROV_W, PROV_RSA_FULL, 0)) {
        EXPECT_EQ(static_cast<DWORD>(NTE_BAD_KEYSET), GetLastError());
        return false;
    }
    CryptReleaseContext(context, 0);
    return true;
}

void DeleteKeyContainer(const wchar_t* name) {
    HCRYPTPROV ignored = 0;
    CryptAcquireContextW(&ignored, name, MS_DEF_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

// Only a key derived from a hash is used: nothing lasting is made in the
// user's key store (earlier builds made the container "Quillon").
TEST_F(Kestin, SecuringAndRevealingLeaveNoKeyContainer) {
    DeleteKeyContainer(L"Quillon");
    const std::wstring secured = Secure(L"secret");
    EXPECT_EQ(IndependentSecure(L"secret"), secured);
    EXPECT_EQ(L"secret", Reveal(secured.c_str()));
    EXPECT_FALSE(KeyContainerExists(L"Quillon"));
}

TEST_F(Kestin, ThreadsStartingWithoutAKeyContainerAllSucceed) {
    DeleteKeyContainer(L"Quillon");
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 20; ++i) {
                const std::wstring text =
                    L"thread " + std::to_wstring(t) + L" text " + std::to_wstring(i);
                const std::wstring secured = Secure(text.c_str());
                if (secured != IndependentSecure(text) || Reveal(secured.c_str()) != text)
                    ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(0, failures[t]) << "thread " << t;
    EXPECT_FALSE(KeyContainerExists(L"Quillon"));
}

class KestinInstall : public Kestin {
  protected:
    void SetUp() override {
        Kestin::SetUp();
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ASSERT_EQ(ERROR_SUCCESS,
                  MsiOpenPackageW(PathFromEnvironment("KESTIN_TEST_MSI").c_str(), &install_));
    }
    void TearDown() override {
        if (install_) MsiCloseHandle(install_);
    }
    std::wstring Property(const wchar_t* name) {
        wchar_t value[1024] = {};
        DWORD size = 1024;
        MsiGetPropertyW(install_, name, value, &size);
        return value;
    }
    MSIHANDLE install_ = 0;
};

TEST_F(KestinInstall, SecuresEachNamedPropertyInPlace) {
    MsiSetPropertyW(install_, L"PASSWORD", L"s3cr3t");
    MsiSetPropertyW(install_, L"OTHER", L"other value");
    MsiSetPropertyW(install_, L"UNTOUCHED", L"plain");
    MsiSetPropertyW(install_, L"CustomActionData", L" PASSWORD  OTHER PRESET UNSET ");
    EXPECT_EQ(0u, add_(install_));
    EXPECT_EQ(Secure(L"s3cr3t"), Property(L"PASSWORD"));
    EXPECT_EQ(L"s3cr3t", Reveal(Property(L"PASSWORD").c_str()));
    EXPECT_EQ(L"other value", Reveal(Property(L"OTHER").c_str()));
    EXPECT_EQ(L"preset value", Reveal(Property(L"PRESET").c_str()));
    EXPECT_EQ(L"", Property(L"UNSET"));
    EXPECT_EQ(L"plain", Property(L"UNTOUCHED"));
}

// A value of more than 130 characters cannot be secured: the action fails,
// so that a checked custom action stops, and no property changes, also not
// the ones named before it.
TEST_F(KestinInstall, TooLongValueFailsAndChangesNothing) {
    const std::wstring tooLong(131, L'v');
    MsiSetPropertyW(install_, L"PASSWORD", L"s3cr3t");
    MsiSetPropertyW(install_, L"LONG", tooLong.c_str());
    MsiSetPropertyW(install_, L"CustomActionData", L"PASSWORD LONG");
    EXPECT_EQ(1627u, add_(install_));
    EXPECT_EQ(L"s3cr3t", Property(L"PASSWORD"));
    EXPECT_EQ(tooLong, Property(L"LONG"));
    MsiSetPropertyW(install_, L"LONG", tooLong.substr(1).c_str());  // 130 is fine
    EXPECT_EQ(0u, add_(install_));
    EXPECT_EQ(Secure(L"s3cr3t"), Property(L"PASSWORD"));
    EXPECT_EQ(tooLong.substr(1), Reveal(Property(L"LONG").c_str()));
}

namespace {

// Fails the `failAt`-th key derivation, or property set (counted from 1)
// of the library; a failed set still changes the property, as the worst a
// failing installer could do.
int g_failAt = 0;
int g_derivations = 0;
int g_sets = 0;
DWORD FailNthDerivation() {
    return ++g_derivations == g_failAt ? static_cast<DWORD>(NTE_BAD_KEYSET) : 0;
}
UINT FailNthSet(unsigned long install, const wchar_t* name, const wchar_t* value) {
    const UINT status = MsiSetPropertyW(install, name, value);
    return ++g_sets == g_failAt ? static_cast<UINT>(ERROR_FUNCTION_FAILED) : status;
}

}  // namespace

// Where the key cannot be derived (a profile whose key store cannot be
// used) or a property cannot be set (a deferred action), whichever value it
// strikes: every property keeps its value and the action returns 1627.
// Without the failure the same data secures them all.
TEST_F(KestinInstall, AFailedKeyDerivationOrSetLeavesEveryPropertyAsItWas) {
    const std::vector<std::pair<const wchar_t*, const wchar_t*>> properties = {
        {L"FIRST", L"one"}, {L"EMPTY", L""}, {L"SECOND", L"two"}, {L"THIRD", L"three"}};
    for (const bool derivation : {true, false}) {
        kestin::SetKeyDerivationCheck(derivation ? &FailNthDerivation : nullptr);
        kestin::SetPropertySetter(derivation ? nullptr : &FailNthSet);
        // Four values need a key (the empty one does not), five are set (one twice).
        const int failures = derivation ? 4 : 5;
        for (int failAt = 0; failAt <= failures + 1; ++failAt) {  // 0: no failure
            for (const auto& [name, value] : properties) MsiSetPropertyW(install_, name, value);
            MsiSetPropertyW(install_, L"CustomActionData", L"FIRST EMPTY SECOND FIRST THIRD");
            g_failAt = failAt;
            g_derivations = g_sets = 0;
            const UINT status = kestin::SecureProperties(install_);
            const bool fails = failAt >= 1 && failAt <= failures;
            EXPECT_EQ(fails ? 1627u : 0u, status) << derivation << failAt;
            for (const auto& [name, value] : properties) {
                const std::wstring expected = fails ? value : Secure(value);
                EXPECT_EQ(expected, Property(name)) << derivation << failAt << " " << Narrow(name);
            }
        }
    }
    kestin::SetKeyDerivationCheck(nullptr);
    kestin::SetPropertySetter(nullptr);
}

TEST_F(KestinInstall, EmptyCustomActionDataFailsAndChangesNothing) {
    MsiSetPropertyW(install_, L"PASSWORD", L"s3cr3t");
    MsiSetPropertyW(install_, L"CustomActionData", L"");
    EXPECT_EQ(1627u, add_(install_));
    EXPECT_EQ(L"s3cr3t", Property(L"PASSWORD"));
    MsiSetPropertyW(install_, L"CustomActionData", L"   ");
    EXPECT_EQ(0u, add_(install_));  // names only blanks: nothing to do
    EXPECT_EQ(L"s3cr3t", Property(L"PASSWORD"));
}
