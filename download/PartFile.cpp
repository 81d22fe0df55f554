#include "download/PartFile.h"

#include <vector>

#include "common/Handles.h"

namespace pravel {

namespace {

constexpr DWORD kMaxValidatorBytes = 4096;

}  // namespace

std::wstring PartTagPath(const std::wstring& partPath) {
    return partPath + L".tag";
}

uint64_t OpenFileSize(HANDLE file) {
    LARGE_INTEGER size = {};
    return ::GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

uint64_t PartFileSize(const std::wstring& partPath) {
    UniqueFile file(::CreateFileW(partPath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? OpenFileSize(file.Get()) : 0;
}

std::wstring ReadPartValidator(const std::wstring& partPath) {
    UniqueFile file(::CreateFileW(PartTagPath(partPath).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::wstring();
    std::vector<char> bytes(kMaxValidatorBytes + 1);
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read == 0 || read > kMaxValidatorBytes)
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                             static_cast<int>(read), nullptr, 0);
    if (length <= 0 || length > 1024) return std::wstring();
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(read),
                          &text[0], length);
    // A validator is one header value: no line breaks.
    if (text.find_first_of(L"\r\n") != std::wstring::npos) return std::wstring();
    return text;
}

void WritePartValidator(const std::wstring& partPath, const std::wstring& validator) {
    const std::wstring tagPath = PartTagPath(partPath);
    if (validator.empty() || validator.size() > 1024) {
        ::DeleteFileW(tagPath.c_str());
        return;
    }
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, validator.c_str(), static_cast<int>(validator.size()),
                              nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, validator.c_str(), static_cast<int>(validator.size()),
                              &bytes[0], size, nullptr, nullptr);
    UniqueFile file(::CreateFileW(tagPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || bytes.empty() ||
        !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
        written != bytes.size()) {
        file.Reset();
        ::DeleteFileW(tagPath.c_str());
    }
}

void DeletePartFiles(const std::wstring& partPath) {
    ::DeleteFileW(partPath.c_str());
    ::DeleteFileW(PartTagPath(partPath).c_str());
}

}  // namespace pravel
