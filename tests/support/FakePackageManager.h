// Puts the test stand-in for the platform package manager (the DLL built from
// fixtures/FakePackageManager.cpp, path in FIXTURE_FAKE_PACKAGE_MANAGER) in
// place for one test: registers it as the activatable classes
// "Windows.Management.Deployment.PackageManager" and "Windows.Foundation.Uri"
// in the registry view of this program's bitness (a 32-bit program writes the
// Wow6432Node view, which is the one 32-bit processes read), steers it and
// reads what it saw. Everything is removed again when the object goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/WinTestSupport.h"

namespace testing_support {

class FakePackageManager {
  public:
    static constexpr const wchar_t* kControl = L"Software\\PravelTests\\FakePackageManager";

    FakePackageManager() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kControl);
        const std::wstring dll = PathFromEnvironment("FIXTURE_FAKE_PACKAGE_MANAGER");
        for (const wchar_t* name : kClasses) Register(name, dll);
    }
    ~FakePackageManager() {
        for (const wchar_t* name : kClasses) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kClassRoot + std::wstring(name)).c_str());
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kControl);
    }
    FakePackageManager(const FakePackageManager&) = delete;
    FakePackageManager& operator=(const FakePackageManager&) = delete;

    // Packages as "name|publisher|architecture number|a.b.c.d", in order.
    void SetPackages(const std::vector<std::wstring>& packages) {
        std::wstring multi;
        for (const auto& p : packages) multi += p + L'\0';
        multi += L'\0';
        SetValue(L"Packages", REG_MULTI_SZ, multi.data(), multi.size() * sizeof(wchar_t));
    }
    void SetOutcome(DWORD status) { SetDword(L"Outcome", status); }  // 1, 2 or 3
    void SetDelay(DWORD ms) { SetDword(L"DelayMs", ms); }
    void SetResultsOnError(bool on) { SetDword(L"ResultsOnError", on ? 1 : 0); }
    void FailCall(const std::wstring& call) {
        SetValue(L"FailCall", REG_SZ, call.c_str(), (call.size() + 1) * sizeof(wchar_t));
    }

    // Package.Id fails for every package of `publisher`.
    void MakeIdentityUnreadable(const std::wstring& publisher) {
        SetValue(L"UnreadablePublisher", REG_SZ, publisher.c_str(),
                 (publisher.size() + 1) * sizeof(wchar_t));
    }

    // FindPackagesForUser waits for the named event (at most 30 s).
    void HoldSearchUntil(const std::wstring& eventName) {
        SetValue(L"FindWaitEvent", REG_SZ, eventName.c_str(),
                 (eventName.size() + 1) * sizeof(wchar_t));
    }
    // The call named reads through a null pointer inside the stand-in.
    void FaultCall(const std::wstring& call) {
        SetValue(L"FaultCall", REG_SZ, call.c_str(), (call.size() + 1) * sizeof(wchar_t));
    }

    DWORD Counter(const wchar_t* name) const {
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (RegGetValueW(HKEY_CURRENT_USER, kControl, name, RRF_RT_REG_DWORD, nullptr, &value,
                         &size) != ERROR_SUCCESS) {
            return 0;
        }
        return value;
    }
    std::wstring Text(const wchar_t* name) const {
        wchar_t buffer[4096] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, kControl, name, RRF_RT_REG_SZ, nullptr, buffer,
                         &size) != ERROR_SUCCESS) {
            return std::wstring();
        }
        return buffer;
    }
    // The installed packages, as the stand-in now reports them.
    std::vector<std::wstring> Packages() const {
        std::vector<std::wstring> packages;
        wchar_t buffer[8192] = {};
        DWORD size = sizeof(buffer) - 2 * sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, kControl, L"Packages", RRF_RT_REG_MULTI_SZ, nullptr,
                         buffer, &size) != ERROR_SUCCESS) {
            return packages;
        }
        for (const wchar_t* p = buffer; *p != 0; p += wcslen(p) + 1) packages.push_back(p);
        return packages;
    }

  private:
    static constexpr const wchar_t* kClassRoot =
        L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";
    static constexpr const wchar_t* kClasses[] = {L"Windows.Management.Deployment.PackageManager",
                                                  L"Windows.Foundation.Uri"};

    static void Register(const wchar_t* name, const std::wstring& dll) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kClassRoot + std::wstring(name)).c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                       static_cast<DWORD>((dll.size() + 1) * sizeof(wchar_t)));
        const DWORD inProcess = 0;
        RegSetValueExW(key, L"ActivationType", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&inProcess), sizeof(inProcess));
        RegCloseKey(key);
    }
    static void SetValue(const wchar_t* name, DWORD type, const void* data, size_t bytes) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kControl, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                       static_cast<DWORD>(bytes));
        RegCloseKey(key);
    }
    static void SetDword(const wchar_t* name, DWORD value) {
        SetValue(name, REG_DWORD, &value, sizeof(value));
    }
};

}  // namespace testing_support
