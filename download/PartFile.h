// The ".part" file of a transfer and its tag: the one owner of the file's
// content and position. A transfer writes into "<target>.part" so that a
// broken or cancelled transfer resumes on the next run. Beside it,
// "<target>.part.tag" names the size of the whole file (0 = unknown) and the
// validator of the answer that began the file (a strong entity tag, else its
// Last-Modified date; empty: the server gave none), see FormatPartTag
// (UTF-16 on disk). The
// tag is written before the first byte of a new file, so a ".part" file
// without a valid tag (left by an older version, another tool, or a crash
// at the wrong moment) is never continued: it starts over. A resume asks for
// the rest only of the same file (If-Range with the validator); a file that
// changed behind its URL then starts over instead of being completed with
// bytes of another version.
//
// While a transfer runs, the file is open and not shared: every byte is
// appended at its end, and the offset a resume asks for is its size at that
// moment (Size()), never a value carried across attempts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pravel {

class PartFile {
  public:
    PartFile() = default;
    ~PartFile() { Close(); }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Takes over what an earlier run left at `path` (the ".part" path). With
    // `resume`, a ".part" file with a valid tag is opened to be continued
    // (one longer than its tag's size is emptied); anything else there is
    // deleted, and `dropped` tells whether a ".part" file was (with
    // `resume`: then without a valid tag). 0, or the
    // Win32 error of opening a ".part" file that is there (another transfer
    // may hold it).
    uint32_t Load(const std::wstring& path, bool resume, bool& dropped);

    const std::wstring& Path() const { return path_; }
    // The bytes present: where the next answer must begin.
    uint64_t Size() const { return size_; }
    // The tag's size of the whole file (0 = unknown) and validator.
    uint64_t Total() const { return total_; }
    const std::wstring& Validator() const { return validator_; }
    // The bytes appended since Load that are still in the file (0 after the
    // file started over): what this transfer itself kept.
    uint64_t Appended() const { return appended_; }

    // Starts the file over for an answer from byte 0: created (or emptied)
    // and its tag written before any byte. 0 or the Win32 error.
    uint32_t Begin(const std::wstring& validator, uint64_t total);
    // The size of the whole file became known: the tag says so.
    void SetTotal(uint64_t total);
    // Appends `count` bytes; 0 or the Win32 error.
    uint32_t Append(const char* data, DWORD count);
    // The bytes present cannot be continued: the file is emptied and its tag
    // deleted (Size() is 0).
    void Discard();
    // Flushes the file to disk (before a reconnect that may take a while).
    void Flush();
    void Close();
    // Closes the file and puts it in place of `target` (replaced); the tag
    // goes. 0 or the Win32 error (the ".part" file then stays).
    uint32_t MoveTo(const std::wstring& target);

  private:
    void WriteTag();
    void DeleteFiles();

    std::wstring path_;
    std::wstring tagPath_;  // path_ + ".tag"
    HANDLE file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t total_ = 0;
    uint64_t appended_ = 0;
    std::wstring validator_;
};

}  // namespace pravel
