#include "download/PartFile.h"

#include "common/Handles.h"
#include "download/TransferText.h"

namespace pravel {

namespace {

constexpr DWORD kMaxTagChars = 2048;

// The tag's text (UTF-16 on disk); false when it is missing, unreadable or
// implausibly long.
bool ReadTag(const std::wstring& path, std::wstring& text) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    text.assign(kMaxTagChars + 1, L'\0');
    DWORD read = 0;
    if (!file ||
        !::ReadFile(file.Get(), &text[0], (kMaxTagChars + 1) * sizeof(wchar_t), &read, nullptr))
        return false;
    text.resize(read / sizeof(wchar_t));
    return text.size() <= kMaxTagChars;
}

}  // namespace

uint32_t PartFile::Load(const std::wstring& path, bool resume, bool& dropped) {
    Close();
    path_ = path;
    tagPath_ = path + L".tag";
    size_ = total_ = appended_ = 0;
    validator_.clear();
    dropped = false;
    const bool present = ::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::wstring tag;
    if (!present || !resume || !ReadTag(tagPath_, tag) || !ParsePartTag(tag, total_, validator_)) {
        dropped = present && resume;
        total_ = 0;
        validator_.clear();
        DeleteFiles();
        return 0;
    }
    file_ = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        file_ = nullptr;
        return ::GetLastError();
    }
    LARGE_INTEGER end = {};
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(file_, zero, &end, FILE_END)) end.QuadPart = 0;
    size_ = static_cast<uint64_t>(end.QuadPart);
    if (total_ != 0 && size_ > total_) Discard();
    return 0;
}

uint32_t PartFile::Begin(const std::wstring& validator, uint64_t total) {
    if (file_ == nullptr) {
        file_ = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            file_ = nullptr;
            return ::GetLastError();
        }
    } else {
        Discard();
    }
    size_ = appended_ = 0;
    validator_ = validator;
    total_ = total;
    WriteTag();
    return 0;
}

void PartFile::SetTotal(uint64_t total) {
    total_ = total;
    WriteTag();
}

void PartFile::WriteTag() {
    const std::wstring text = FormatPartTag(total_, validator_);
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    UniqueFile file(::CreateFileW(tagPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || text.size() > kMaxTagChars ||
        !::WriteFile(file.Get(), text.data(), bytes, &written, nullptr) || written != bytes) {
        // Without a tag the next run starts over: safe, only slower.
        file.Reset();
        ::DeleteFileW(tagPath_.c_str());
    }
}

uint32_t PartFile::Append(const char* data, DWORD count) {
    DWORD written = 0;
    if (file_ == nullptr) return ERROR_INVALID_HANDLE;
    if (!::WriteFile(file_, data, count, &written, nullptr) || written != count)
        return ::GetLastError() != 0 ? ::GetLastError() : ERROR_WRITE_FAULT;
    size_ += count;
    appended_ += count;
    return 0;
}

void PartFile::Discard() {
    size_ = appended_ = 0;
    if (file_ == nullptr) {
        DeleteFiles();
        return;
    }
    ::DeleteFileW(tagPath_.c_str());
    LARGE_INTEGER zero = {};
    if (::SetFilePointerEx(file_, zero, nullptr, FILE_BEGIN)) ::SetEndOfFile(file_);
}

void PartFile::Flush() {
    if (file_ != nullptr) ::FlushFileBuffers(file_);
}

void PartFile::Close() {
    if (file_ != nullptr) ::CloseHandle(file_);
    file_ = nullptr;
}

void PartFile::DeleteFiles() {
    ::DeleteFileW(path_.c_str());
    ::DeleteFileW(tagPath_.c_str());
}

uint32_t PartFile::MoveTo(const std::wstring& target) {
    Close();
    ::DeleteFileW(target.c_str());
    if (!::MoveFileW(path_.c_str(), target.c_str())) {
        if (!::CopyFileW(path_.c_str(), target.c_str(), FALSE)) return ::GetLastError();
        ::DeleteFileW(path_.c_str());
    }
    ::DeleteFileW(tagPath_.c_str());
    size_ = 0;
    return 0;
}

}  // namespace pravel
