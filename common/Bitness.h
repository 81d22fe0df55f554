// The one place that knows which processor the program was built for. The
// deliverable is 32-bit; the 64-bit build exists to run the tests under
// wine64. Everything that differs between the two (WOW64 queries, registry
// views, file-system redirection, the log banner) asks here.
#pragma once

namespace pravel {

constexpr bool kIs64BitBuild = sizeof(void*) == 8;

// "x86" for the 32-bit deliverable, "x64" for the 64-bit build.
constexpr const wchar_t* kBuildArchitecture = kIs64BitBuild ? L"x64" : L"x86";

}  // namespace pravel
