// The publisher's signature as the acceptance test sees it, on the signed
// fake installers of tests/servers/testpki.py: the verdict and what the log
// says was found. The test authority is trusted in this prefix while the
// program runs (from its start: the platform reads the trusted roots once
// per process); the look-alike authority of the same name never is.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "download/SignatureCheck.h"
#include "support/TestAuthority.h"

using namespace pravel;
using namespace testing_support;

namespace {

const wchar_t kPublisher[] = L"Contoso Test Publisher";

std::wstring Key(const wchar_t* name, bool upper) {
    std::wstring key;
    for (char c : ReadBytes(PkiFile(name)))
        key += static_cast<wchar_t>(upper ? toupper(static_cast<unsigned char>(c)) : c);
    return key;
}

struct Case {
    const wchar_t* file;
    const wchar_t* signer;
    const wchar_t* keyOf;  // the .spki-sha256 file whose key is demanded, or null
    bool accepted;
    const wchar_t* detail;  // the start of what was found
};

class TestAuthority : public ::testing::Environment {
  public:
    void SetUp() override { trusted = std::make_unique<TrustedTestAuthority>(); }
    void TearDown() override { trusted.reset(); }
    std::unique_ptr<TrustedTestAuthority> trusted;
};
TestAuthority* const g_authority =
    static_cast<TestAuthority*>(::testing::AddGlobalTestEnvironment(new TestAuthority));

using Signature = ::testing::TestWithParam<Case>;

}  // namespace

TEST_P(Signature, VerdictAndFinding) {
    ASSERT_TRUE(g_authority->trusted && g_authority->trusted->Trusted());
    const Case& c = GetParam();
    const SignatureVerdict verdict = CheckPublisherSignature(
        PkiFile(c.file), c.signer, c.keyOf != nullptr ? Key(c.keyOf, true) : std::wstring());
    EXPECT_EQ(c.accepted, verdict.accepted) << Narrow(verdict.detail);
    EXPECT_EQ(0u, verdict.detail.rfind(c.detail, 0)) << Narrow(verdict.detail);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Signature,
    ::testing::Values(
        Case{L"signed-publisher.exe", kPublisher, nullptr, true,
             L"signed by \"Contoso Test Publisher\""},
        Case{L"signed-publisher.exe", kPublisher, L"publisher.spki-sha256", true,
             L"signed by \"Contoso Test Publisher\""},
        // A renewed certificate of the same publisher: accepted by name,
        // refused when the key is pinned.
        Case{L"signed-rekeyed.exe", kPublisher, nullptr, true, L"signed by"},
        Case{L"signed-rekeyed.exe", kPublisher, L"publisher.spki-sha256", false,
             L"signed by \"Contoso Test Publisher\" with the key "},
        Case{L"signed-rekeyed.exe", kPublisher, L"rekeyed.spki-sha256", true, L"signed by"},
        // The name is compared exactly.
        Case{L"signed-publisher.exe", L"Contoso Test", nullptr, false,
             L"signed by \"Contoso Test Publisher\", not by \"Contoso Test\""},
        Case{L"signed-publisher.exe", L"contoso test publisher", nullptr, false, L"signed by"},
        Case{L"signed-other.exe", kPublisher, nullptr, false,
             L"signed by \"Fabrikam Test Publisher\", not by"},
        // A name that equals the publisher's up to an embedded U+0000 is
        // another name (shown with "?" in its place).
        Case{L"signed-nulname.exe", kPublisher, nullptr, false,
             L"signed by \"Contoso Test Publisher?.example\", not by"},
        Case{L"unsigned.exe", kPublisher, nullptr, false,
             L"the signature does not verify: 0x800B0100"},
        Case{L"tampered.exe", kPublisher, nullptr, false,
             L"the signature does not verify: 0x80096010"},
        // Same publisher name, issued by an authority of the same name that
        // the machine does not trust.
        Case{L"signed-lookalike.exe", kPublisher, nullptr, false,
             L"the signer's certificate chain is not trusted: 0x800B0109"}));
