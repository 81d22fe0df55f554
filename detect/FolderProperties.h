// Named folders of the configuration ("[ProgramFilesFolder]", ...) and the
// expansion of references against the running system.
#pragma once

#include <string>

namespace pravel {

// The folder named `name` (case-sensitive), most with a trailing backslash
// ("System32Folder" and "WindowsFolder" without). False when the name is
// unknown or the folder cannot be found.
bool ResolveFolderProperty(const std::wstring& name, bool use64, std::wstring& folder);

// Sets "SETUPEXEDIR" for the process (the start-up does, with the program's
// folder); without it the program's own folder is worked out on first use.
void SetSetupExeDir(const std::wstring& folder);

}  // namespace pravel
