#include "launch/PackageManager.h"

#include <windows.h>

#include <new>

#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "diag/ErrorReport.h"
#include "diag/FaultTranslation.h"
#include "diag/Logger.h"
#include "launch/PackageManagerAbi.h"
#include "launch/WindowsRuntime.h"

namespace pravel {

using namespace winrt;

namespace {

ActivationFactoryCache g_managerFactory(kPackageManagerClass, kIidActivationFactory);
ActivationFactoryCache g_uriFactory(kUriClass, kIidUriRuntimeClassFactory);

// Logs the failed call; always false.
bool Failed(const char* what, HRESULT hr) {
    Log({"Package manager call failed:", AsciiPiece(what), " ", HResultPiece(hr)});
    return false;
}

// A call that answered S_OK but gave no object counts as failed.
HRESULT Checked(HRESULT hr, const void* result) {
    return SUCCEEDED(hr) && result == nullptr ? E_POINTER : hr;
}

template <typename Interface>
void** Out(UniqueCom<Interface>& owner) {
    return reinterpret_cast<void**>(owner.Put());
}

bool ActivatePackageManager(UniqueCom<IPackageManager>& manager) {
    void* factory = nullptr;
    HRESULT hr = g_managerFactory.Get(&factory);
    if (FAILED(hr)) return Failed("activation factory of PackageManager", hr);
    UniqueCom<IInspectable> instance;
    hr = static_cast<IActivationFactory*>(factory)->ActivateInstance(instance.Put());
    if (FAILED(hr = Checked(hr, instance.Get()))) return Failed("PackageManager activation", hr);
    hr = instance.Get()->QueryInterface(kIidPackageManager, Out(manager));
    if (FAILED(hr = Checked(hr, manager.Get()))) return Failed("IPackageManager", hr);
    return true;
}

bool CreateUri(const std::wstring& path, UniqueCom<IUriRuntimeClass>& uri) {
    void* factory = nullptr;
    HRESULT hr = g_uriFactory.Get(&factory);
    if (FAILED(hr)) return Failed("activation factory of Uri", hr);
    UniqueHString text;
    if (!MakeHString(path, text)) return Failed("WindowsCreateString", E_OUTOFMEMORY);
    hr = static_cast<IUriRuntimeClassFactory*>(factory)->CreateUri(text.Get(), uri.Put());
    if (FAILED(hr = Checked(hr, uri.Get()))) return Failed("CreateUri", hr);
    return true;
}

// The Completed handler: signals a manual-reset event and does nothing else.
// It is agile, so the platform calls it on whatever thread the deployment
// ends on, also before put_Completed has returned.
class CompletionSignal final : public IDeploymentCompletedHandler {
  public:
    // Null when the event cannot be created (the error is then in GetLastError).
    static CompletionSignal* Create() {
        UniqueHandle event(
            ::CreateEventExW(nullptr, nullptr, CREATE_EVENT_MANUAL_RESET, EVENT_ALL_ACCESS));
        if (!event) return nullptr;
        CompletionSignal* signal = new (std::nothrow) CompletionSignal();
        if (signal != nullptr) signal->event_ = std::move(event);
        return signal;
    }
    HANDLE Event() const { return event_.Get(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidDeploymentCompletedHandler) ||
            IsEqualGUID(iid, kIidAgileObject)) {
            *object = static_cast<IDeploymentCompletedHandler*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation*, int32_t) override {
        ::SetEvent(event_.Get());
        return S_OK;
    }

  private:
    CompletionSignal() = default;
    ~CompletionSignal() = default;

    LONG references_ = 1;
    UniqueHandle event_;
};

bool Deploy(const std::wstring& path) {
    UniqueCom<IPackageManager> manager;
    UniqueCom<IUriRuntimeClass> uri;
    if (!ActivatePackageManager(manager) || !CreateUri(path, uri)) return false;

    UniqueCom<IDeploymentOperation> operation;
    HRESULT hr =
        manager.Get()->AddPackageAsync(uri.Get(), nullptr, kDeploymentOptionsNone, operation.Put());
    if (FAILED(hr = Checked(hr, operation.Get()))) return Failed("AddPackageAsync", hr);

    UniqueCom<CompletionSignal> signal(CompletionSignal::Create());
    if (!signal) return Failed("CreateEventExW", HResultFromWin32(::GetLastError()));
    hr = operation.Get()->put_Completed(signal.Get());
    if (FAILED(hr)) return Failed("put_Completed", hr);
    if (::WaitForSingleObject(signal.Get()->Event(), INFINITE) != WAIT_OBJECT_0) {
        return Failed("WaitForSingleObject", HResultFromWin32(::GetLastError()));
    }

    UniqueCom<IDeploymentResult> result;
    hr = operation.Get()->GetResults(result.Put());
    if (FAILED(hr)) return Failed("GetResults", hr);
    UniqueCom<IAsyncInfo> info;
    hr = operation.Get()->QueryInterface(kIidAsyncInfo, Out(info));
    if (FAILED(hr = Checked(hr, info.Get()))) return Failed("IAsyncInfo", hr);
    int32_t status = kAsyncStarted;
    hr = info.Get()->get_Status(&status);
    if (FAILED(hr)) return Failed("get_Status", hr);
    if (status != kAsyncCompleted) {
        Log({"Package deployment ended with status:", ToDecimal(status)});
        return false;
    }
    return true;
}

bool ReadIdentity(IPackage* package, PackageIdentity& identity) {
    UniqueCom<IPackageId> id;
    HRESULT hr = package->get_Id(id.Put());
    if (FAILED(hr = Checked(hr, id.Get()))) return Failed("Package.Id", hr);
    UniqueHString text;
    if (FAILED(hr = id.Get()->get_Name(text.Put()))) return Failed("PackageId.Name", hr);
    identity.name = HStringText(text.Get());
    if (FAILED(hr = id.Get()->get_Publisher(text.Put()))) return Failed("PackageId.Publisher", hr);
    identity.publisher = HStringText(text.Get());
    if (FAILED(hr = id.Get()->get_Architecture(&identity.architecture))) {
        return Failed("PackageId.Architecture", hr);
    }
    PackageVersion version = {};
    if (FAILED(hr = id.Get()->get_Version(&version))) return Failed("PackageId.Version", hr);
    identity.version[0] = version.major;
    identity.version[1] = version.minor;
    identity.version[2] = version.build;
    identity.version[3] = version.revision;
    return true;
}

std::vector<std::wstring> Find(const PackageCriteria& criteria) {
    std::vector<std::wstring> versions;
    UniqueCom<IPackageManager> manager;
    if (!ActivatePackageManager(manager)) return versions;
    UniqueCom<IPackageIterable> packages;
    HRESULT hr = manager.Get()->FindPackagesByUserSecurityId(nullptr, packages.Put());
    if (FAILED(hr = Checked(hr, packages.Get()))) {
        Failed("FindPackagesForUser", hr);
        return versions;
    }
    UniqueCom<IPackageIterator> iterator;
    hr = packages.Get()->First(iterator.Put());
    if (FAILED(hr = Checked(hr, iterator.Get()))) {
        Failed("First", hr);
        return versions;
    }
    WinRtBoolean hasCurrent = 0;
    hr = iterator.Get()->get_HasCurrent(&hasCurrent);
    while (SUCCEEDED(hr) && hasCurrent) {
        UniqueCom<IPackage> package;
        hr = iterator.Get()->get_Current(package.Put());
        if (FAILED(hr = Checked(hr, package.Get()))) break;
        PackageIdentity identity;
        if (!ReadIdentity(package.Get(), identity)) {
            Log({"Package search: skipped a package whose identity could not be read."});
        } else if (PackageMatches(criteria, identity)) {
            versions.push_back(PackageVersionText(PackageVersionNumber(identity.version)));
        }
        hr = iterator.Get()->MoveNext(&hasCurrent);
    }
    if (FAILED(hr)) Failed("walking the packages", hr);
    return versions;
}

}  // namespace

bool DeployPackage(const std::wstring& path) noexcept {
    try {
        bool deployed = false;
        auto deploy = [&]() { deployed = Deploy(path); };
        CallOtherModules(deploy);  // a fault inside the platform ends here
        return deployed;
    } catch (const IException& exception) {
        Log({"Package installation stopped on ", DescribeException(exception)});
        return false;
    } catch (...) {
        return false;
    }
}

std::vector<std::wstring> FindPackageVersions(const PackageCriteria& criteria) noexcept {
    try {
        std::vector<std::wstring> versions;
        auto find = [&]() { versions = Find(criteria); };
        CallOtherModules(find);  // a fault inside the platform ends here
        return versions;
    } catch (const IException& exception) {
        Log({"Package search stopped on ", DescribeException(exception)});
        return {};
    } catch (...) {
        return {};
    }
}

}  // namespace pravel
