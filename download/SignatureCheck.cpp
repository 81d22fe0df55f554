#include "download/SignatureCheck.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdint>
#include <vector>

#include "common/Handles.h"
#include "common/ProcessLaunch.h"
#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "download/SignerKey.h"

namespace pravel {

namespace {

constexpr LONG kRevocationFailure = static_cast<LONG>(0x800B010Eu);  // CERT_E_REVOCATION_FAILURE
constexpr LONG kRevocationOffline = static_cast<LONG>(0x80092013u);  // CRYPT_E_REVOCATION_OFFLINE
constexpr LONG kNoRevocationCheck = static_cast<LONG>(0x80092012u);  // CRYPT_E_NO_REVOCATION_CHECK

// The functions of wintrust.dll and crypt32.dll, looked up once.
struct TrustApi {
    decltype(&::WinVerifyTrust) WinVerifyTrust;
    decltype(&::WTHelperProvDataFromStateData) ProvData;
    decltype(&::WTHelperGetProvSignerFromChain) Signer;
    decltype(&::WTHelperGetProvCertFromChain) SignerCert;
    decltype(&::CertVerifyCertificateChainPolicy) ChainPolicy;
    decltype(&::CertGetNameStringW) NameString;
    decltype(&::CryptEncodeObjectEx) Encode;

    bool Available() const {
        return WinVerifyTrust && ProvData && Signer && SignerCert && ChainPolicy && NameString &&
               Encode;
    }
};

const TrustApi& Trust() {
    static const TrustApi api = [] {
        const wchar_t* const wintrust = L"wintrust.dll";
        const wchar_t* const crypt32 = L"crypt32.dll";
        TrustApi t{};
        t.WinVerifyTrust = SystemFunction<decltype(t.WinVerifyTrust)>(wintrust, "WinVerifyTrust");
        t.ProvData =
            SystemFunction<decltype(t.ProvData)>(wintrust, "WTHelperProvDataFromStateData");
        t.Signer = SystemFunction<decltype(t.Signer)>(wintrust, "WTHelperGetProvSignerFromChain");
        t.SignerCert =
            SystemFunction<decltype(t.SignerCert)>(wintrust, "WTHelperGetProvCertFromChain");
        t.ChainPolicy =
            SystemFunction<decltype(t.ChainPolicy)>(crypt32, "CertVerifyCertificateChainPolicy");
        t.NameString = SystemFunction<decltype(t.NameString)>(crypt32, "CertGetNameStringW");
        t.Encode = SystemFunction<decltype(t.Encode)>(crypt32, "CryptEncodeObjectEx");
        return t;
    }();
    return api;
}

// "0x800B0100 No signature was present in the subject."
std::wstring StatusText(uint32_t status) {
    return Concat(
        {FormatHResult(static_cast<int32_t>(status)), " ", TrimWhite(FormatSystemMessage(status))});
}

// Closes the verification state however the check ends.
class TrustState {
  public:
    TrustState(const TrustApi& api, WINTRUST_DATA& data) : api_(api), data_(data) {}
    ~TrustState() {
        if (data_.hWVTStateData == nullptr) return;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        api_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
    }
    TrustState(const TrustState&) = delete;
    TrustState& operator=(const TrustState&) = delete;

  private:
    const TrustApi& api_;
    WINTRUST_DATA& data_;
};

}  // namespace

SignatureVerdict CheckPublisherSignature(const std::wstring& path, const std::wstring& signerName,
                                         const std::wstring& signerKey, void* handle) {
    SignatureVerdict verdict;
    const TrustApi& api = Trust();
    if (!api.Available()) {
        verdict.detail = WideFromAscii("wintrust.dll or crypt32.dll is not available");
        return verdict;
    }

    // 1. The signature itself, revocation from what the machine has.
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    file.hFile = static_cast<HANDLE>(handle);
    if (handle != nullptr) {
        const LARGE_INTEGER start = {};
        ::SetFilePointerEx(file.hFile, start, nullptr, FILE_BEGIN);
    }
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = api.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    TrustState state(api, data);
    const bool revocationUnknown = status == kRevocationFailure || status == kRevocationOffline ||
                                   status == kNoRevocationCheck;
    if (status != 0 && !revocationUnknown) {
        verdict.detail =
            Concat({"the signature does not verify: ", StatusText(static_cast<uint32_t>(status))});
        return verdict;
    }

    CRYPT_PROVIDER_DATA* provider = api.ProvData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer = provider != nullptr ? api.Signer(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* signerCert = signer != nullptr ? api.SignerCert(signer, 0) : nullptr;
    if (signerCert == nullptr || signerCert->pCert == nullptr || signer->pChainContext == nullptr) {
        verdict.detail = WideFromAscii("the signer cannot be read");
        return verdict;
    }

    // 2. The signer's chain ends in a root the machine trusts.
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof(policy);
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    CERT_CHAIN_POLICY_STATUS policyStatus = {};
    policyStatus.cbSize = sizeof(policyStatus);
    if (!api.ChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, signer->pChainContext, &policy,
                         &policyStatus) ||
        policyStatus.dwError != 0) {
        const uint32_t error = policyStatus.dwError != 0 ? policyStatus.dwError : ::GetLastError();
        verdict.detail =
            Concat({"the signer's certificate chain is not trusted: ", StatusText(error)});
        return verdict;
    }

    // 3. The publisher's name, over the whole length the system gives: a name
    // with an embedded U+0000 must not pass as the text before it.
    wchar_t text[512] = {};
    const DWORD length =
        api.NameString(signerCert->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, text, 512);
    std::wstring name(text, length > 0 ? length - 1 : 0);  // without the terminating NUL
    const bool matches = length < 512 && name == signerName;
    for (wchar_t& c : name) c = c == 0 ? L'?' : c;  // as the log shows it
    if (!matches) {
        verdict.detail = Concat({"signed by \"", name, "\", not by \"", signerName, "\""});
        return verdict;
    }

    // 4. The publisher's key.
    if (!signerKey.empty()) {
        const std::wstring key = SignerKeyOf(api.Encode, signerCert->pCert);
        if (key.empty() || !EqualsIgnoreCaseAscii(key, signerKey)) {
            verdict.detail =
                Concat({"signed by \"", name, "\" with the key ", key, ", not ", signerKey});
            return verdict;
        }
    }
    verdict.accepted = true;
    verdict.detail = revocationUnknown
                         ? Concat({"signed by \"", name, "\" (revocation status unknown)"})
                         : Concat({"signed by \"", name, "\""});
    return verdict;
}

}  // namespace pravel
