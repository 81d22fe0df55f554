#include "detect/ReferenceExpansion.h"

namespace pravel {

std::wstring ExpandReferences(const std::wstring& text, bool use64, ReferenceResolver& resolver) {
    std::wstring out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find_first_of(L"[%!", pos);
        if (open == std::wstring::npos) break;
        out.append(text, pos, open - pos);
        const wchar_t mark = text[open];
        const wchar_t closing = mark == L'[' ? L']' : mark;
        const size_t close = text.find(closing, open + 1);
        if (close == std::wstring::npos) {
            pos = open;
            break;
        }
        const std::wstring name = text.substr(open + 1, close - open - 1);
        if (mark == L'[') {
            std::wstring value;
            if (resolver.FolderProperty(name, use64, value)) {
                out += value;
            } else {
                out.append(text, open, close - open + 1);
            }
        } else if (mark == L'%') {
            out += resolver.Environment(name);
        } else {
            out += resolver.RegistryValue(name, use64);
        }
        pos = close + 1;
    }
    if (pos < text.size()) out.append(text, pos, std::wstring::npos);
    return out;
}

}  // namespace pravel
