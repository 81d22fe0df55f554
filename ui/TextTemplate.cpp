#include "ui/TextTemplate.h"

namespace pravel {

std::wstring FormatTemplate(const std::wstring& pattern,
                            std::initializer_list<std::wstring> arguments) {
    std::wstring out;
    out.reserve(pattern.size() + 32);
    auto next = arguments.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c == L'%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == L's') {
                if (next != arguments.end()) out += *next++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == L'%') {
                out += L'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::wstring HostOfUrl(const std::wstring& url) {
    size_t start = url.find(L"://");
    start = start == std::wstring::npos ? 0 : start + 3;
    size_t end = url.find_first_of(L"/\\?#", start);
    if (end == std::wstring::npos) end = url.size();
    std::wstring authority = url.substr(start, end - start);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) authority.erase(0, at + 1);
    if (!authority.empty() && authority[0] == L'[') {
        const size_t close = authority.find(L']');
        return close == std::wstring::npos ? authority : authority.substr(0, close + 1);
    }
    const size_t colon = authority.find(L':');
    if (colon != std::wstring::npos) authority.erase(colon);
    return authority;
}

}  // namespace pravel
