#include <gtest/gtest.h>

#include <cstdint>

#include "common/ErrorCodes.h"
#include "download/CredentialsProvider.h"
#include "download/DownloadSink.h"
#include "download/TransferText.h"

using namespace pravel;

TEST(TransferText, RealmOfAChallenge) {
    EXPECT_EQ(L"Files", RealmFromChallenge(L"Basic realm=\"Files\""));
    EXPECT_EQ(L"Files", RealmFromChallenge(L"Basic REALM=Files"));
    EXPECT_EQ(L"a b", RealmFromChallenge(L"Digest qop=auth,Realm=\"a b\",nonce=1"));
    EXPECT_EQ(L"first", RealmFromChallenge(L"Basic realm=first,realm=second"));
    // No trimming: " realm" after a comma and blank is not the name "realm".
    EXPECT_EQ(L"", RealmFromChallenge(L"Digest qop=auth, realm=\"x\""));
    EXPECT_EQ(L"", RealmFromChallenge(L"Basic"));
    EXPECT_EQ(L"", RealmFromChallenge(L"Basic charset=utf-8"));
    EXPECT_EQ(L"", RealmFromChallenge(L"Basic realm=\"\""));
    EXPECT_EQ(L"x=y", RealmFromChallenge(L"Basic realm=\"x=y\""));
}

TEST(TransferText, PercentDecodingAndReplies) {
    EXPECT_EQ(L"p@ss:w/rd", PercentDecode(L"p%40ss%3aw%2Frd"));
    EXPECT_EQ(L"100%", PercentDecode(L"100%"));
    EXPECT_EQ(L"%zz%4", PercentDecode(L"%zz%4"));
    EXPECT_EQ(350, FtpReplyCode(L"350 Restarting at 100."));
    EXPECT_EQ(350, FtpReplyCode(L"\r\n350 Restarting"));
    EXPECT_EQ(502, FtpReplyCode(L"502 REST not implemented."));
    EXPECT_EQ(0, FtpReplyCode(L""));
    EXPECT_EQ(0, FtpReplyCode(L"350x"));
    EXPECT_EQ(L"proxy.local", ProxyHostName(L"proxy.local:8080"));
    EXPECT_EQ(L"proxy", ProxyHostName(L"proxy"));
}

TEST(TransferText, PathsAndShares) {
    EXPECT_TRUE(IsAbsoluteTarget(L"C:\\x\\f.exe"));
    EXPECT_TRUE(IsAbsoluteTarget(L"\\\\server\\share\\f.exe"));
    EXPECT_FALSE(IsAbsoluteTarget(L"dir\\f.exe"));
    EXPECT_FALSE(IsAbsoluteTarget(L"\\dir\\f.exe"));
    EXPECT_FALSE(IsAbsoluteTarget(L""));
    EXPECT_EQ(L"server", ShareServerName(L"\\\\server\\share\\f.exe"));
    EXPECT_EQ(L"", ShareServerName(L"\\\\?\\C:\\f.exe"));
    EXPECT_EQ(L"", ShareServerName(L"C:\\f.exe"));
    EXPECT_EQ(L"\\\\server\\share", ShareFolderOf(L"\\\\server\\share\\f.exe"));
}

namespace {

class AnsweringSink : public DownloadSink {
  public:
    void SetRange(int32_t) override {}
    void TransferStarting(int32_t, uint64_t, const wchar_t*) override {}
    void TransferFinished(int32_t, uint32_t) override {}
    void BytesWritten(uint64_t) override {}
    bool IsCancelled() override { return false; }
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t*, uint32_t code, void* handle) override {
        ++asked;
        if (code == DLERR_AUTH_REQUIRED && enter) {
            static_cast<CredentialsProvider*>(handle)->Store(L"bob", L"pw");
            return 1237;
        }
        return code;
    }
    void ShowStep(const wchar_t*, int32_t) override {}
    bool enter = false;
    int asked = 0;
};

}  // namespace

TEST(Credentials, StoredOncePerSeriesThenTheSinkDecides) {
    CredentialsProvider provider;
    AnsweringSink sink;
    std::wstring user, password;
    EXPECT_FALSE(AskForCredentials(nullptr, &sink, L"u", L"r", L"", user, password));
    EXPECT_FALSE(
        AskForCredentials(&provider, &sink, L"http://h/f", L"realm", L"px", user, password));
    EXPECT_EQ(1, sink.asked);
    EXPECT_EQ(L"realm", provider.Realm());
    EXPECT_EQ(L"px", provider.ServerName());
    EXPECT_EQ(L"http://h/f", provider.Url());

    sink.enter = true;
    ASSERT_TRUE(AskForCredentials(&provider, &sink, L"u", L"r", L"", user, password));
    EXPECT_EQ(L"bob", user);
    EXPECT_EQ(L"pw", password);
    EXPECT_EQ(2, sink.asked);

    provider.BeginAttempts();  // a new series: the stored pair first, without asking
    sink.enter = false;
    ASSERT_TRUE(AskForCredentials(&provider, &sink, L"u", L"r", L"", user, password));
    EXPECT_EQ(2, sink.asked);
    EXPECT_FALSE(AskForCredentials(&provider, &sink, L"u", L"r", L"", user, password));
    EXPECT_EQ(3, sink.asked);
    EXPECT_FALSE(AskForCredentials(&provider, nullptr, L"u", L"r", L"", user, password));
    EXPECT_FALSE(provider.Prompt(nullptr));
}

TEST(TransferText, SizesAndRangesOfAnswersAre64Bit) {
    uint64_t value = 0;
    EXPECT_TRUE(ParseDecimal64(L"4297064448", value));  // 4 GiB + 2 MiB
    EXPECT_EQ(4297064448ull, value);
    EXPECT_TRUE(ParseDecimal64(L" 18446744073709551615 ", value));
    EXPECT_EQ(UINT64_MAX, value);
    for (const wchar_t* bad : {L"", L" ", L"18446744073709551616", L"12a", L"-1", L"+1", L"1 2"})
        EXPECT_FALSE(ParseDecimal64(bad, value)) << bad;

    ContentRange range;
    ASSERT_TRUE(ParseContentRange(L"bytes 4295016448-4298113023/4298113024", range));
    EXPECT_EQ(4295016448ull, range.first);
    EXPECT_EQ(4298113023ull, range.last);
    EXPECT_TRUE(range.totalKnown);
    EXPECT_EQ(4298113024ull, range.total);
    ASSERT_TRUE(ParseContentRange(L"Bytes 0-9/*", range));
    EXPECT_FALSE(range.totalKnown);
    for (const wchar_t* bad : {L"bytes */100", L"bytes 10-9/100", L"bytes 0-99/99", L"items 0-9/10",
                               L"bytes 0-9", L"bytes 0-9/x", L"bytes -9/10"})
        EXPECT_FALSE(ParseContentRange(bad, range)) << bad;
}

TEST(TransferText, TheValidatorOfAResumeIsAStrongTagOrTheDate) {
    const std::wstring date = L"Tue, 08 Dec 2026 10:00:00 GMT";
    EXPECT_EQ(L"\"abc\"", ResumeValidator(L" \"abc\" ", date));
    EXPECT_EQ(date, ResumeValidator(L"W/\"abc\"", date));  // a weak tag cannot be used
    EXPECT_EQ(date, ResumeValidator(L"", date));
    EXPECT_EQ(L"", ResumeValidator(L"W/\"abc\"", L""));
}
