#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win_types.h"

namespace {

using namespace platform;

TEST(Text, Utf8RoundTripsEveryPlane) {
    const std::wstring wide = L"a\u00e9\u4e2d\U0001F600";
    const std::string utf8 = "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(Utf8ToWide(""), L"");
}

TEST(Text, MalformedUtf8BecomesReplacementCharacters) {
    // A stray continuation byte, an overlong '/', an encoded surrogate, a cut sequence.
    EXPECT_EQ(Utf8ToWide("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(Utf8ToWide("\xc0\xaf"), L"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xed\xa0\x80"), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide("ok\xe4\xb8"), L"ok\uFFFD\uFFFD");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}

#ifdef _WIN32
TEST(Text, AnsiIsTheCodePageOfChineseWindows) {
    // scripts/wine-run gives Wine the code page of the program's users.
    if (GetACP() != 936)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936";
    EXPECT_EQ(WideToAnsi(L"\u684c\u9762"), "\xd7\xc0\xc3\xe6");
    EXPECT_EQ(AnsiToWide("\xd7\xc0\xc3\xe6"), L"\u684c\u9762");
    EXPECT_EQ(WideToAnsi(L"p\u00e4ss"), "p?ss");  // not in the code page
}
#else
TEST(Text, AnsiIsTheLocaleEncoding) {
    // The test main sets C.UTF-8, so the locale's encoding is UTF-8.
    EXPECT_EQ(WideToAnsi(L"p\u00e4ss"), "p\xc3\xa4ss");
    EXPECT_EQ(AnsiToWide("p\xc3\xa4ss"), L"p\u00e4ss");
    EXPECT_EQ(AnsiToWide("bad\xff"), L"bad\uFFFD");
}
#endif

TEST(Text, Utf16SurrogatePairsAndLoneHalves) {
    EXPECT_EQ(WideToUtf16(L"\U0001F600x"), u"\xD83D\xDE00x");
    EXPECT_EQ(Utf16ToWide(u"\xD83D\xDE00x"), L"\U0001F600x");
    EXPECT_EQ(Utf16ToWide(std::u16string_view(u"\xD83Dx", 2)), L"\uFFFDx");
}

}  // namespace
