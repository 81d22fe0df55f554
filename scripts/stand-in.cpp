// A stand-in for a vendor's installer, built by scripts/stand-in: run with
// any arguments (the vendor's /install /quiet /norestart included), it
// leaves behind what its directions say, as the vendor's installer would
// for a configuration's searches to find, and ends with the exit code they
// give. No window, no prompt.
//
// Directions: resource RCDATA 1 of the program, UTF-8 lines of the form
//   exit <code>              the exit code (default 0)
//   reg64 <root>\<key>\<name>=<data>
//   reg32 <root>\<key>\<name>=<data>
//                            a registry value in the 64-bit or the 32-bit
//                            view (the Wow6432Node branch on 64-bit
//                            Windows); root HKLM, HKCU, HKCR or HKU (or
//                            their long names); an empty name is the key's
//                            default value; data "dword:<n>" is a REG_DWORD,
//                            anything else a REG_SZ
//   folder <path>            a folder, with every missing parent
//   file <path>              a copy of this program (which carries the
//                            version resource scripts/stand-in gave it)
// With an exit code other than 0 and 3010 nothing is changed (a failed
// installation leaves nothing behind). When a step fails (access denied,
// say) the steps before it stay and the exit code is 1603.
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kInstallFailure = 1603;

std::wstring Directions() {
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10));
    HGLOBAL loaded = found == nullptr ? nullptr : ::LoadResource(nullptr, found);
    const char* bytes =
        loaded == nullptr ? nullptr : static_cast<const char*>(::LockResource(loaded));
    const int size = found == nullptr ? 0 : static_cast<int>(::SizeofResource(nullptr, found));
    if (bytes == nullptr || size <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(size), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes, size, text.data(), size);
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool CreateFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

HKEY Root(const std::wstring& name) {
    if (name == L"HKLM" || name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == L"HKCU" || name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == L"HKCR" || name == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == L"HKU" || name == L"HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

// "<root>\<key>\<name>=<data>" written in the view `view`.
bool WriteValue(const std::wstring& assignment, REGSAM view) {
    const size_t equals = assignment.find(L'=');
    const size_t rootEnd = assignment.find(L'\\');
    if (equals == std::wstring::npos || rootEnd == std::wstring::npos || rootEnd > equals) {
        return false;
    }
    const size_t nameStart = assignment.rfind(L'\\', equals) + 1;
    HKEY root = Root(assignment.substr(0, rootEnd));
    if (root == nullptr || nameStart <= rootEnd + 1) return false;
    const std::wstring subkey = assignment.substr(rootEnd + 1, nameStart - rootEnd - 2);
    const std::wstring name = assignment.substr(nameStart, equals - nameStart);
    const std::wstring data = assignment.substr(equals + 1);
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LSTATUS status;
    if (data.compare(0, 6, L"dword:") == 0) {
        const DWORD number = wcstoul(data.c_str() + 6, nullptr, 0);
        status = ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
        status = ::RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool CopySelf(const std::wstring& target) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const size_t slash = target.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 2) CreateFolders(target.substr(0, slash));
    return ::CopyFileW(self, target.c_str(), FALSE) != FALSE;
}

}  // namespace

int wmain() {
    const std::vector<std::wstring> lines = Lines(Directions());
    DWORD code = 0;
    for (const std::wstring& line : lines) {
        if (line.compare(0, 5, L"exit ") == 0) code = wcstoul(line.c_str() + 5, nullptr, 0);
    }
    if (code != 0 && code != ERROR_SUCCESS_REBOOT_REQUIRED) return static_cast<int>(code);
    for (const std::wstring& line : lines) {
        const size_t blank = line.find(L' ');
        const std::wstring verb = line.substr(0, blank);
        const std::wstring rest = blank == std::wstring::npos ? L"" : line.substr(blank + 1);
        bool done = true;
        if (verb == L"reg64") {
            done = WriteValue(rest, KEY_WOW64_64KEY);
        } else if (verb == L"reg32") {
            done = WriteValue(rest, KEY_WOW64_32KEY);
        } else if (verb == L"folder") {
            done = CreateFolders(rest);
        } else if (verb == L"file") {
            done = CopySelf(rest);
        }
        if (!done) return static_cast<int>(kInstallFailure);
    }
    return static_cast<int>(code);
}
