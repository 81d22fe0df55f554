// The test certificates of tests/servers/testpki.py (made by the ctest
// fixture "pki" into the folder PRAVEL_TEST_PKI names) and the test
// authority made trusted inside this test prefix only: added to the prefix's
// machine root store while an instance lives, removed when it goes. The
// host's own certificate stores are never touched.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <gtest/gtest.h>

#include <string>

#include "support/WinTestSupport.h"

namespace testing_support {

// A file of the test certificates' folder (Windows path; empty when the
// fixture did not run).
inline std::wstring PkiFile(const std::wstring& name) {
    const std::wstring folder = PathFromEnvironment("PRAVEL_TEST_PKI");
    return folder.empty() ? std::wstring() : folder + L"\\" + name;
}

// The folder as the Unix programs started by the tests see it.
inline std::string PkiUnixFile(const std::string& name) {
    const char* folder = std::getenv("PRAVEL_TEST_PKI");
    return folder != nullptr ? std::string(folder) + "/" + name : std::string();
}

class TrustedTestAuthority {
  public:
    TrustedTestAuthority() {
        const std::string der = ReadBytes(PkiFile(L"ca.der"));
        if (der.empty()) {
            ADD_FAILURE() << "no test authority at " << Narrow(PkiFile(L"ca.der"));
            return;
        }
        root_ = Root();
        if (root_ == nullptr) {
            ADD_FAILURE() << "the machine root store cannot be opened: " << GetLastError();
            return;
        }
        trusted_ =
            CertAddEncodedCertificateToStore(
                root_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added_) != FALSE;
        if (!trusted_) ADD_FAILURE() << "the test authority was not added: " << GetLastError();
        // This process's own view of the trusted roots (read once per
        // process) gets it too.
        HCERTSTORE system =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        if (system != nullptr) {
            CertAddEncodedCertificateToStore(
                system, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
            CertCloseStore(system, 0);
        }
    }
    ~TrustedTestAuthority() {
        if (root_ == nullptr) return;
        if (added_ != nullptr) {
            // Found again in the open registry store and deleted there (and
            // so from the registry); the context itself is freed with it.
            PCCERT_CONTEXT found = CertFindCertificateInStore(root_, X509_ASN_ENCODING, 0,
                                                              CERT_FIND_EXISTING, added_, nullptr);
            if (found != nullptr) CertDeleteCertificateFromStore(found);
            CertFreeCertificateContext(added_);
        }
        CertCloseStore(root_, 0);
    }
    TrustedTestAuthority(const TrustedTestAuthority&) = delete;
    TrustedTestAuthority& operator=(const TrustedTestAuthority&) = delete;

    bool Trusted() const { return trusted_; }

  private:
    static HCERTSTORE Root() {
        // The registry store itself: Wine's system "Root" store does not keep
        // what is added to it for other processes.
        return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                             CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    }
    HCERTSTORE root_ = nullptr;
    PCCERT_CONTEXT added_ = nullptr;
    bool trusted_ = false;
};

}  // namespace testing_support
