#include "ui/TextTemplate.h"

#include <gtest/gtest.h>

using pravel::FormatTemplate;
using pravel::HostOfUrl;

TEST(TextTemplate, FillsPlacesInOrderAndNeverReadsBeyondTheArguments) {
    const struct {
        const wchar_t* pattern;
        std::initializer_list<std::wstring> arguments;
        const wchar_t* want;
    } rows[] = {
        {L"Installing %s", {L"Runtime 4.8"}, L"Installing Runtime 4.8"},
        {L"The server %s at %s requires", {L"h", L"realm"}, L"The server h at realm requires"},
        {L"%s and %s", {L"one"}, L"one and "},
        {L"no places", {L"x"}, L"no places"},
        {L"100%% of %s", {L"A"}, L"100% of A"},
        {L"%d %x %", {L"A"}, L"%d %x %"},
        {L"%s", {L"50%s off"}, L"50%s off"},  // an argument is never read as a pattern
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatTemplate(row.pattern, row.arguments), row.want);
    }
}

TEST(TextTemplate, HostOfUrl) {
    const struct {
        const wchar_t* url;
        const wchar_t* host;
    } rows[] = {
        {L"http://files.example/a/b.exe", L"files.example"},
        {L"https://user:pw@files.example:8443/x?y", L"files.example"},
        {L"ftp://127.0.0.1:2121", L"127.0.0.1"},
        {L"http://[::1]:8080/x", L"[::1]"},
        {L"files.example/a", L"files.example"},
        {L"\\\\server\\share\\x.exe", L""},
        {L"", L""},
    };
    for (const auto& row : rows) EXPECT_EQ(HostOfUrl(row.url), row.host) << row.url;
}
