// The bitness facts of the running process: WOW64, file-system redirection
// and the native machine. The 32-bit suite runs these as a 32-bit process on
// 64-bit Windows, the 64-bit suite as a native one; each asserts its own case.
#include <gtest/gtest.h>

#include "chainer/SystemEnvironment.h"
#include "common/Wow64.h"
#include "config/Configuration.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

TEST(Wow64, ProcessIsWow64OnlyInThe32BitSuiteAndWindowsIs64BitInBoth) {
    EXPECT_EQ(!kSuite64Bit, pravel::IsWow64Process32());
    EXPECT_TRUE(pravel::Is64BitWindows());
}

TEST(Wow64, RedirectionOffShowsTheNativeSystemFolder) {
    const std::wstring name = L"pravel_wow_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::wstring path = NativeSystemFolder() + L"\\" + name;
    ScratchDir dir(L"wow64");
    WriteBytes(dir / L"f.txt", "only in SysWOW64");
    SystemFile placed(Wow64SystemFolder(), name, dir / L"f.txt");
    ASSERT_TRUE(placed.Placed());
    // A 32-bit process sees SysWOW64 under the System32 path ...
    EXPECT_EQ(!kSuite64Bit, FileExists(path));
    {
        pravel::FsRedirectionOff off;
        EXPECT_FALSE(FileExists(path));  // ... until redirection is off
    }
    EXPECT_EQ(!kSuite64Bit, FileExists(path));  // and again after
    {
        pravel::FsRedirectionOff notAsked(false);
        EXPECT_EQ(!kSuite64Bit, FileExists(path));
    }
}

TEST(Wow64, ArchitectureNamesTheNativeMachineNotTheProcess) {
    pravel::GeneralOptions options;
    pravel::SystemEnvironment environment(options);
    const pravel::MachineArchitecture machine = environment.Architecture();
    ASSERT_TRUE(machine.queryExists);
    ASSERT_TRUE(machine.querySucceeded);
    // Asked independently: the 32-bit suite's process machine is i386, the
    // native machine is the same in both suites.
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto query = reinterpret_cast<IsWow64Process2Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process2")));
    ASSERT_NE(nullptr, query);
    USHORT process = 0;
    USHORT native = 0;
    ASSERT_TRUE(query(GetCurrentProcess(), &process, &native));
    EXPECT_EQ(kSuite64Bit ? IMAGE_FILE_MACHINE_UNKNOWN : IMAGE_FILE_MACHINE_I386, process);
    EXPECT_EQ(native, machine.nativeMachine);
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, machine.nativeMachine);
}
