#include "launch/MsixFinder.h"

#include <windows.h>
#include <objbase.h>

#include "common/Text.h"
#include "common/WorkerThread.h"
#include "diag/FaultTranslation.h"
#include "diag/Logger.h"
#include "launch/PackageManager.h"

namespace pravel {

std::vector<std::wstring> MsixFinder::Find(const std::wstring& name, const std::wstring& publisher,
                                           const std::wstring& architecture) noexcept {
    try {
        criteria_.name = name;
        criteria_.publisher = publisher;
        criteria_.architecture = architecture;
        result_.clear();
        auto query = [this]() noexcept {
            // Faults on this thread become exceptions, first thing on the thread.
            InstallExceptionTranslation();
            const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (FAILED(hr)) {
                try {
                    Log({"Package search: COM initialisation failed:", HResultPiece(hr)});
                } catch (...) {
                }
                return;
            }
            result_ = FindPackageVersions(criteria_);
            ::CoUninitialize();
        };
        DWORD error = 0;
        if (!RunOnNewThread(query, error)) {
            Log({"Package search: the search thread could not be created:", DecimalPiece(error)});
            return {};
        }
        return std::move(result_);
    } catch (...) {
        return {};
    }
}

}  // namespace pravel
