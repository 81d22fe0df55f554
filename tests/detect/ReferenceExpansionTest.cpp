#include <gtest/gtest.h>

#include <map>

#include "detect/ReferenceExpansion.h"

using namespace pravel;

namespace {

class FakeResolver : public ReferenceResolver {
  public:
    bool FolderProperty(const std::wstring& name, bool use64, std::wstring& value) override {
        lastUse64 = use64;
        if (name == L"ProgramFilesFolder") {
            value = use64 ? L"C:\\Program Files\\" : L"C:\\Program Files (x86)\\";
            return true;
        }
        if (name == L"Loop") {
            value = L"[Loop]%X%";  // inserted text is not scanned again
            return true;
        }
        return false;
    }
    std::wstring Environment(const std::wstring& name) override {
        auto it = env.find(name);
        return it == env.end() ? std::wstring() : it->second;
    }
    std::wstring RegistryValue(const std::wstring& path, bool) override {
        return path == L"HKLM\\Software\\X\\Dir" ? L"D:\\x" : L"";
    }
    std::map<std::wstring, std::wstring> env{{L"WINDIR", L"C:\\windows"}, {L"X", L"x"}};
    bool lastUse64 = false;
};

std::wstring Expand(const std::wstring& text, bool use64 = false) {
    FakeResolver resolver;
    return ExpandReferences(text, use64, resolver);
}

}  // namespace

TEST(ReferenceExpansion, AllThreeForms) {
    EXPECT_EQ(L"C:\\Program Files (x86)\\App\\a.exe", Expand(L"[ProgramFilesFolder]App\\a.exe"));
    EXPECT_EQ(L"C:\\Program Files\\App", Expand(L"[ProgramFilesFolder]App", true));
    EXPECT_EQ(L"C:\\windows\\system32", Expand(L"%WINDIR%\\system32"));
    EXPECT_EQ(L"D:\\x\\bin", Expand(L"!HKLM\\Software\\X\\Dir!\\bin"));
    EXPECT_EQ(L"pre x mid C:\\windows post", Expand(L"pre %X% mid %WINDIR% post"));
}

TEST(ReferenceExpansion, UnresolvedReferences) {
    EXPECT_EQ(L"[NoSuchFolder]\\x", Expand(L"[NoSuchFolder]\\x"));
    EXPECT_EQ(L"a\\b", Expand(L"a%UNSET%\\b"));
    EXPECT_EQ(L"\\y", Expand(L"!HKLM\\missing\\v!\\y"));
}

TEST(ReferenceExpansion, MissingClosingMarkCopiesTheRest) {
    EXPECT_EQ(L"100% sure", Expand(L"100% sure"));
    EXPECT_EQ(L"x [open", Expand(L"x [open"));
    EXPECT_EQ(L"C:\\windows and 50% off", Expand(L"%WINDIR% and 50% off"));
}

TEST(ReferenceExpansion, InsertedValuesAreNotScannedAgain) {
    EXPECT_EQ(L"[Loop]%X%!", Expand(L"[Loop]!"));
    EXPECT_EQ(L"", Expand(L""));
    EXPECT_EQ(L"plain", Expand(L"plain"));
}
