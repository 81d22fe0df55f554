#include "common/PathForms.h"

#include "common/Text.h"

namespace pravel {

namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

// The components of `text` between backslashes, empty ones dropped.
std::vector<std::wstring> Components(const std::wstring& text) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\\', start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsRoot(const std::wstring& path) {
    return SplitFolderChain(path, true).folders.empty();
}

}  // namespace

bool HasLongPathPrefix(const std::wstring& path) {
    return StartsWith(path, kLongPrefix);
}

bool IsUncPath(const std::wstring& path) {
    if (HasLongPathPrefix(path)) return StartsWithIgnoreCaseAscii(path, kLongUncPrefix);
    return StartsWith(path, L"\\\\");
}

bool IsFullPath(const std::wstring& path) {
    return StartsWith(path, L"\\\\") || (path.size() >= 2 && path[1] == L':');
}

std::wstring WithoutLongPathPrefix(const std::wstring& path) {
    if (StartsWithIgnoreCaseAscii(path, kLongUncPrefix))
        return Concat({"\\\\", std::wstring_view(path).substr(kLongUncPrefix.size())});
    return StartsWith(path, kLongPrefix) ? path.substr(kLongPrefix.size()) : path;
}

namespace {

// `path` with the long-path prefix once it has at least `length` characters.
std::wstring LongFormFrom(const std::wstring& path, size_t length) {
    if (path.size() < length || HasLongPathPrefix(path)) return path;
    if (StartsWith(path, L"\\\\"))
        return Concat({kLongUncPrefix, std::wstring_view(path).substr(2)});
    return Concat({kLongPrefix, path});
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
    return LongFormFrom(path, 248);
}

std::wstring DeletionPathForm(const std::wstring& path) {
    return LongFormFrom(path, kLongPathLength);
}

std::wstring WithoutTrailingBackslash(const std::wstring& path) {
    size_t end = path.size();
    while (end > 0 && path[end - 1] == L'\\') --end;
    return path.substr(0, end);
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
    const std::wstring outer = WithoutTrailingBackslash(WithoutLongPathPrefix(folder));
    const std::wstring inner = WithoutLongPathPrefix(path);
    if (outer.empty() || inner.size() <= outer.size() + 1) return false;
    return inner[outer.size()] == L'\\' && StartsWithIgnoreCaseAscii(inner, outer);
}

FolderChainSteps SplitFolderChain(const std::wstring& path, bool lastIsFolder) {
    FolderChainSteps steps;
    std::wstring rest;
    size_t rootParts = 0;  // components of `rest` that belong to the root
    if (StartsWithIgnoreCaseAscii(path, kLongUncPrefix)) {
        steps.root = path.substr(0, kLongUncPrefix.size());
        rest = path.substr(kLongUncPrefix.size());
        rootParts = 2;
        steps.unc = true;
    } else if (HasLongPathPrefix(path)) {
        steps.root = kLongPrefix;
        rest = path.substr(kLongPrefix.size());
        rootParts = 1;
    } else if (StartsWith(path, L"\\\\")) {
        steps.root = L"\\\\";
        rest = path.substr(2);
        rootParts = 2;
        steps.unc = true;
    } else if (path.size() >= 2 && path[1] == L':') {
        steps.root = path.substr(0, 2);
        rest = path.substr(2);
    } else {
        rest = path;
    }
    const bool rooted = !steps.unc && steps.root.empty() && StartsWith(path, L"\\");
    const bool endsAsFolder = !path.empty() && path.back() == L'\\';

    const std::vector<std::wstring> parts = Components(rest);
    size_t i = 0;
    for (; i < parts.size() && i < rootParts; ++i) {
        if (i != 0) steps.root += L'\\';
        steps.root += parts[i];
    }
    std::wstring current = steps.root;
    for (; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (current.empty() && !rooted) {
            current = parts[i];
        } else {
            current += L'\\';
            current += parts[i];
        }
        if (last && !lastIsFolder && !endsAsFolder) break;
        steps.folders.push_back(current);
    }
    return steps;
}

std::vector<std::wstring> FoldersUpTo(const std::wstring& folder, const std::wstring& stopFolder) {
    std::vector<std::wstring> folders;
    std::wstring current = WithoutTrailingBackslash(folder);
    while (!current.empty() && IsInsideFolder(current, stopFolder) && !IsRoot(current)) {
        folders.push_back(current);
        const size_t slash = current.rfind(L'\\');
        if (slash == std::wstring::npos) break;
        current = current.substr(0, slash);
    }
    return folders;
}

bool IsBatchFile(const std::wstring& file) {
    if (file.size() < 4) return false;
    const std::wstring_view extension = std::wstring_view(file).substr(file.size() - 4);
    return EqualsIgnoreCaseAscii(extension, L".bat") || EqualsIgnoreCaseAscii(extension, L".cmd");
}

std::wstring ElevatedBatchArguments(const std::wstring& file, const std::wstring& arguments) {
    return Concat({"/C \"\"", file, "\" ", arguments, "\""});
}

}  // namespace pravel
