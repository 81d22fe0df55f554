// The clean-up script's command line for random paths: read back with the
// reference reader of PowerShell's single-quoted strings
// (tests/launch/PowerShellTokens.h), the script path (looked up as PowerShell
// looks up a command's path, where brackets are wildcards) and every path of
// the list come back unchanged. Input bytes become characters through a small
// alphabet rich in quotes and blanks; byte 0x01 separates the paths, the
// first of which is the script.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "launch/PowerShellCommand.h"
#include "launch/PowerShellTokens.h"

namespace {

const wchar_t kUnusual[] = {0x2018, 0x2019, 0x201A, 0x201B, 0x201C, 0x201D, 0x201E, 0x00A0,
                            0x0085, 0x1680, 0x2000, 0x2005, 0x200A, 0x200B, 0x2028, 0x2029,
                            0x202F, 0x205F, 0x3000, 0xFEFF, 0x00E9, 0xD800, 0xDC00, 0xFFFD};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::wstring> paths(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01) {
            paths.emplace_back();
        } else if (data[i] < 0x80) {
            paths.back() += static_cast<wchar_t>(data[i]);
        } else {
            paths.back() += kUnusual[(data[i] - 0x80) % (sizeof(kUnusual) / sizeof(kUnusual[0]))];
        }
    }
    const std::wstring script = L"C:\\" + paths[0];
    paths.erase(paths.begin());
    powershell_tokens::Command command;
    if (!powershell_tokens::ReadCommand(pravel::PowerShellArguments(script, paths, 10), command) ||
        command.script != script || command.paths != paths || command.retryCount != L"10") {
        std::abort();
    }
    return 0;
}
