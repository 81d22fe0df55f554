// The ".part" file of a transfer and its validator file. A transfer writes
// into "<target>.part" so that a broken or cancelled transfer resumes on the
// next run. When the answer that began the file named a validator (a strong
// entity tag, else its Last-Modified date), it is kept in
// "<target>.part.tag", so that a resume asks for the rest only of that same
// file (If-Range); a file that changed behind its URL then starts over
// instead of being completed with bytes of the new version.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pravel {

// "<partPath>.tag".
std::wstring PartTagPath(const std::wstring& partPath);

// The size of the ".part" file; 0 when it is missing or cannot be opened.
uint64_t PartFileSize(const std::wstring& partPath);

// The size of an open file; 0 when it cannot be read.
uint64_t OpenFileSize(HANDLE file);

// The validator kept beside `partPath`; empty when there is none (or it
// cannot be read, or is not plausible: longer than 1024 characters).
std::wstring ReadPartValidator(const std::wstring& partPath);

// Keeps `validator` beside `partPath`; an empty one removes the tag file.
// Failure is not an error: without a tag the next run resumes as before.
void WritePartValidator(const std::wstring& partPath, const std::wstring& validator);

// Deletes the ".part" file and its tag (failures ignored).
void DeletePartFiles(const std::wstring& partPath);

}  // namespace pravel
