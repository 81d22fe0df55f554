// Small platform queries shared by several parts of the program. None of
// them throws; each reports failure by its result.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// Full path of the running program (empty when it does not fit 260 characters).
std::wstring GetProgramPath();

// The common application data folder (shell folder 0x23), without a
// trailing backslash. False when the shell cannot tell.
bool GetCommonAppDataFolder(std::wstring& folder);

// The "ProductName" text of a file's version resource: the first language and
// code page of "\VarFileInfo\Translation" (1033/1250 without one).
bool GetProductName(const std::wstring& path, std::wstring& productName);

}  // namespace pravel
