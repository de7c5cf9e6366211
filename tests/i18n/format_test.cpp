// Applying language formats: the conversions the program's texts use, and the mistakes a
// hand-edited language file may contain, which give back the format instead of crashing.
#include "i18n/format.h"

#include <gtest/gtest.h>

TEST(FormatLanguageText, AppliesConversionsWithWindowsWideRules) {
    const std::wstring name = L"报告.pdf";
    EXPECT_EQ(FormatLanguageText(L"无法添加文件“%s”。", name), L"无法添加文件“报告.pdf”。");
    EXPECT_EQ(FormatLanguageText(L"%ls|%S|%ws", name, L"b", std::wstring_view(L"c")),
              L"报告.pdf|b|c");
    EXPECT_EQ(FormatLanguageText(L"错误代码：%d", -100), L"错误代码：-100");
    EXPECT_EQ(FormatLanguageText(L"%d %u %x %X %#x", 1023u, -1, 255, 255, 255),
              L"1023 4294967295 ff FF 0xff");
    EXPECT_EQ(FormatLanguageText(L"%0.2f%% %.2f K", 60.0, 1.0), L"60.00% 1.00 K");
    EXPECT_EQ(FormatLanguageText(L"[%5d|%-5d|%05d|%+d|%.3d]", 42, 42, 42, 42, 42),
              L"[   42|42   |00042|+42|042]");
    EXPECT_EQ(FormatLanguageText(L"[%6s|%-4s|%.2s]", L"ab", L"ab", L"abc"), L"[    ab|ab  |ab]");
    EXPECT_EQ(FormatLanguageText(L"%c%c", 0x4E2D, L'文'), L"中文");
    // Sizes are those of the 32-bit program the formats come from: int and long are 32 bits.
    const long long big = 4294967296LL + 7;
    EXPECT_EQ(FormatLanguageText(L"%d %ld %lld %I64d %hd", big, big, big, big, 65535),
              L"7 7 4294967303 4294967303 -1");
    EXPECT_EQ(FormatLanguageText(L"no placeholder", 5), L"no placeholder");
    EXPECT_EQ(FormatLanguageText(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(FormatLanguageText, RefusesFormatsThatDoNotFitTheirArguments) {
    // Each given the single integer 0.
    for (const wchar_t* format :
         {L"%s", L"%d%d", L"%n", L"%p", L"%*d", L"%.*d", L"%1$d", L"50%", L"%l", L"%y", L"%f",
          L"%5%", L"%1025d", L"%.99999999999d", L"%hhs", L"%c"}) {
        EXPECT_EQ(FormatLanguageText(format, 0), format) << testing::PrintToString(format);
    }
    EXPECT_EQ(FormatLanguageText(L"%d", L"text"), L"%d");
    EXPECT_EQ(FormatLanguageText(L"%d", 1.5), L"%d");
    EXPECT_EQ(FormatLanguageText(L"%s"), L"%s");
    EXPECT_EQ(FormatLanguageText(L"%1024d", 1).size(), 1024u);
}
