#include "download/DownloadRules.h"

#include "common/ErrorCodes.h"
#include "common/Text.h"

namespace pravel {

namespace {

struct StatusMeaning {
    uint32_t code;
    const char* meaning;
};

const StatusMeaning kMeanings[] = {
    {DLERR_BAD_TARGET, "the target path is not absolute"},
    {DLERR_CANCELLED, "the download was cancelled"},
    {DLERR_INCOMPLETE, "the server ended the transfer before the whole file arrived"},
    {DLERR_OFFSET_BEYOND_END, "the partly downloaded file is larger than the file on the server"},
    {DLERR_AUTH_REQUIRED, "the server or proxy requires a user name and password"},
    {DLERR_NOT_MODIFIED, "the server answered that the file is not modified"},
    {DLERR_FORBIDDEN, "the server refuses access to the file"},
    {DLERR_NOT_FOUND, "the server has no such file"},
    {DLERR_REJECTED, "the downloaded file has the wrong size or digest"},
    {DLERR_SIZE_MISMATCH, "the server announces another size than ExactSize"},
    {DLERR_MANDATORY_FAILED, "a mandatory prerequisite could not be downloaded"},
    {DLERR_HTTP_ERROR_STATUS, "the server answered with an error status"},
    {DLERR_INSECURE_REDIRECT, "an HTTPS download was redirected to plain HTTP"},
    {DLERR_TIME_LIMIT, "the download did not complete within its time limit"},
    {DLERR_UNUSABLE_ANSWER, "the server's answers cannot be part of the file"},
};

}  // namespace

std::wstring DownloadStatusMeaning(uint32_t code) {
    for (const StatusMeaning& entry : kMeanings) {
        if (entry.code == code) return WideFromAscii(entry.meaning);
    }
    return std::wstring();
}

std::wstring DescribeDownloadStatus(uint32_t code) {
    const std::wstring meaning = DownloadStatusMeaning(code);
    if (meaning.empty()) return std::wstring();
    return Concat({HResultPiece(static_cast<int32_t>(code)), " (", meaning, ")"});
}

bool Md5Matches(const std::wstring& computed, const std::wstring& configured) {
    if (computed.empty()) return false;
    for (size_t i = 0; i < computed.size(); ++i) {
        if (i >= configured.size()) return false;
        wchar_t c = configured[i];
        if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != computed[i]) return false;
    }
    return true;
}

}  // namespace pravel
