#include "download/FileSha256.h"

#include <windows.h>

#include "common/Handles.h"
#include "download/Sha256.h"

namespace pravel {

namespace {

// Reads an open file up to the size it had when it was opened.
class OpenFileSource : public ByteSource {
  public:
    OpenFileSource(HANDLE file, uint64_t size) : file_(file), left_(size) {}
    bool Read(uint8_t* buffer, size_t capacity, size_t& got) override {
        got = 0;
        if (left_ == 0) return true;
        const DWORD want = static_cast<DWORD>(capacity < left_ ? capacity : left_);
        DWORD read = 0;
        if (!::ReadFile(file_, buffer, want, &read, nullptr)) return false;
        got = read;
        left_ = read == 0 ? 0 : left_ - read;  // a file that shrank ends early
        return true;
    }

  private:
    HANDLE file_;
    uint64_t left_;
};

}  // namespace

bool ComputeSha256Of(HANDLE file, std::wstring& hex) {
    hex.clear();
    LARGE_INTEGER size;
    const LARGE_INTEGER start = {};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
        !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        return false;
    }
    OpenFileSource source(file, static_cast<uint64_t>(size.QuadPart));
    return ComputeSha256(source, hex);
}

}  // namespace pravel
