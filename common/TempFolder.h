// The folder where the program keeps its temporary files, worked out once
// per process. For LocalSystem it is GetTempPath2W's folder where that
// function exists, else <Windows>\SystemTemp\ (created when missing, with
// access for LocalSystem and Administrators only); for everybody else the
// ordinary GetTempPathW folder. Always ends with a backslash.
#pragma once

#include <string>

namespace pravel {

// Prefix of every temporary file name the program creates.
constexpr const wchar_t* kTempFilePrefix = L"QL_";

// True when the process token's user is LocalSystem (S-1-5-18).
bool IsLocalSystemAccount();

// The process token's user as SID text ("S-1-5-21-..."); empty when it
// cannot be read.
std::wstring ProcessUserSid();

// The folder for either kind of account; creates <Windows>\SystemTemp\ when
// it is chosen and missing. Empty when the platform reports nothing.
std::wstring ComputeTempFolder(bool isLocalSystem);

// The process-wide folder (computed on first use).
const std::wstring& ProgramTempFolder();

// The process-wide LocalSystem answer: IsLocalSystemAccount unless a test
// replaced the probe. Asked afresh at every call (the logger, the
// installer launcher at every launch).
bool RunsAsLocalSystem();

// Replaces the LocalSystem test for the process (tests only: Wine runs
// nothing as LocalSystem). Must be called before the first ProgramTempFolder;
// RunsAsLocalSystem (the logger) follows it at once. Null restores the
// real test.
void SetLocalSystemProbe(bool (*probe)());

}  // namespace pravel
