#pragma once

#include <windows.h>

namespace pravel {

// The whole process behind wWinMain: COM, the module object, one ChainerApp
// run. Returns the exit code.
int PravelMain(HINSTANCE instance);

}  // namespace pravel
