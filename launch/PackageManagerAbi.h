// The raw Windows Runtime interfaces of the platform package manager
// ("Windows.Management.Deployment.PackageManager") and of the few classes it
// hands out, as their binary layout is: IInspectable based interfaces whose
// own methods start at vtable slot 6, delegates based on IUnknown with Invoke
// at slot 3, __stdcall methods returning an HRESULT, out values last. The
// MinGW headers lack these declarations. Only the slots up to the last one
// this program calls are declared; an interface's later slots are omitted.
// The product and the test stand-in for the package manager share this file.
#pragma once

#include <windows.h>
#include <activation.h>
#include <inspectable.h>

#include <cstdint>

namespace pravel::winrt {

constexpr wchar_t kPackageManagerClass[] = L"Windows.Management.Deployment.PackageManager";
constexpr wchar_t kUriClass[] = L"Windows.Foundation.Uri";

// Windows.Foundation.AsyncStatus
constexpr int32_t kAsyncStarted = 0;
constexpr int32_t kAsyncCompleted = 1;
constexpr int32_t kAsyncCanceled = 2;
constexpr int32_t kAsyncError = 3;

constexpr uint32_t kDeploymentOptionsNone = 0;
using WinRtBoolean = unsigned char;  // the runtime's Boolean is one byte

constexpr GUID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidActivationFactory = {
    0x00000035, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidInspectable = {
    0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
constexpr GUID kIidAgileObject = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
constexpr GUID kIidAsyncInfo = {
    0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidUriRuntimeClassFactory = {
    0x44a9796f, 0x723e, 0x4fdf, {0xa2, 0x18, 0x03, 0x3e, 0x75, 0xb0, 0xc0, 0x84}};
constexpr GUID kIidUriRuntimeClass = {
    0x9e365e57, 0x48b2, 0x4160, {0x95, 0x6f, 0xc7, 0x38, 0x51, 0x20, 0xbb, 0xfc}};
constexpr GUID kIidPackageManager = {
    0x9a7d4b65, 0x5e8f, 0x4fc7, {0xa2, 0xe5, 0x7f, 0x69, 0x25, 0xcb, 0x8b, 0x53}};
constexpr GUID kIidDeploymentResult = {
    0x2563b9ae, 0xb77d, 0x4c1f, {0x8a, 0x7b, 0x20, 0xe6, 0xad, 0x51, 0x5e, 0xf3}};
constexpr GUID kIidPackage = {
    0x163c792f, 0xbd75, 0x413c, {0xbf, 0x23, 0xb1, 0xfe, 0x7b, 0x95, 0xd8, 0x25}};
constexpr GUID kIidPackageId = {
    0x1adb665e, 0x37c7, 0x4790, {0x99, 0x80, 0xdd, 0x7a, 0xe7, 0x4e, 0x8b, 0xb2}};
// IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>
constexpr GUID kIidDeploymentOperation = {
    0x5a97aab7, 0xb6ea, 0x55ac, {0xa5, 0xdc, 0xd5, 0xb1, 0x64, 0xd9, 0x4e, 0x94}};
// AsyncOperationWithProgressCompletedHandler<DeploymentResult, DeploymentProgress>
constexpr GUID kIidDeploymentCompletedHandler = {
    0x6e1c7129, 0x61e0, 0x5d88, {0x9f, 0xd4, 0xf3, 0xce, 0x65, 0xa0, 0x57, 0x19}};
// AsyncOperationProgressHandler<DeploymentResult, DeploymentProgress>
constexpr GUID kIidDeploymentProgressHandler = {
    0xf1b926d1, 0x1796, 0x597a, {0x9b, 0xea, 0x6c, 0x64, 0x49, 0xd0, 0x3e, 0xef}};
// IIterable<Package> and IIterator<Package>
constexpr GUID kIidPackageIterable = {
    0x69ad6aa7, 0x0c49, 0x5f27, {0xa5, 0xeb, 0xef, 0x4d, 0x59, 0x46, 0x7b, 0x6d}};
constexpr GUID kIidPackageIterator = {
    0x0217f069, 0x025c, 0x5ee6, {0xa8, 0x7f, 0xe7, 0x82, 0xe3, 0xb6, 0x23, 0xae}};

struct DeploymentProgress {
    int32_t state;
    uint32_t percentage;
};

struct PackageVersion {
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
};

// Windows.Foundation.IUriRuntimeClass (17 methods; only the first declared).
struct IUriRuntimeClass : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_AbsoluteUri(HSTRING* value) = 0;
};

struct IUriRuntimeClassFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, IUriRuntimeClass** instance) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateWithRelativeUri(HSTRING baseUri, HSTRING relativeUri,
                                                            IUriRuntimeClass** instance) = 0;
};

struct IDeploymentResult : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_ErrorText(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ActivityId(GUID* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExtendedErrorCode(HRESULT* value) = 0;
};

struct IDeploymentOperation;

struct IDeploymentProgressHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation* operation,
                                             DeploymentProgress progress) = 0;
};

struct IDeploymentCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation* operation, int32_t status) = 0;
};

// IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>; the
// status is read through IAsyncInfo on the same object.
struct IDeploymentOperation : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Progress(IDeploymentProgressHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Progress(IDeploymentProgressHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IDeploymentCompletedHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IDeploymentCompletedHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(IDeploymentResult** results) = 0;
};

struct IAsyncInfo : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(int32_t* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IPackageId : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Version(PackageVersion* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Architecture(int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResourceId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Publisher(HSTRING* value) = 0;
};

struct IPackage : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(IPackageId** value) = 0;
};

struct IPackageIterator : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Current(IPackage** current) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HasCurrent(WinRtBoolean* hasCurrent) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveNext(WinRtBoolean* hasCurrent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 capacity, IPackage** items,
                                              UINT32* actual) = 0;
};

struct IPackageIterable : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE First(IPackageIterator** first) = 0;
};

// Slots 6 to 12; the dependency lists (IIterable<Uri>) are passed as null.
struct IPackageManager : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE AddPackageAsync(IUriRuntimeClass* packageUri,
                                                      IInspectable* dependencies, uint32_t options,
                                                      IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdatePackageAsync(IUriRuntimeClass* packageUri,
                                                         IInspectable* dependencies,
                                                         uint32_t options,
                                                         IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING packageFullName,
                                                         IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE StagePackageAsync(IUriRuntimeClass* packageUri,
                                                        IInspectable* dependencies,
                                                        IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterPackageAsync(IUriRuntimeClass* manifestUri,
                                                           IInspectable* dependencies,
                                                           uint32_t options,
                                                           IDeploymentOperation** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindPackages(IPackageIterable** packages) = 0;
    // FindPackagesForUser(String): a null (empty) SID means the current user.
    virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING userSecurityId,
                                                                   IPackageIterable** packages) = 0;
};

}  // namespace pravel::winrt
