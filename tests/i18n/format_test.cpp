// Applying language formats: the conversions the program's texts use, and the mistakes a
// hand-edited language file may contain, which must give back the format instead of crashing.
#include "i18n/format.h"

#include <gtest/gtest.h>

#include <string>

TEST(FormatLanguageText, AppliesConversionsWithWindowsWideRules) {
    const std::wstring name = L"报告.pdf";
    EXPECT_EQ(FormatLanguageText(L"无法添加文件“%s”。", name), L"无法添加文件“报告.pdf”。");
    EXPECT_EQ(FormatLanguageText(L"%ls|%S|%ws|%hs", name, L"b", std::wstring_view(L"c"), L"d"),
              L"报告.pdf|b|c|d");
    EXPECT_EQ(FormatLanguageText(L"压缩失败，错误代码：%d", -100), L"压缩失败，错误代码：-100");
    EXPECT_EQ(FormatLanguageText(L"%d 字节", 1023u), L"1023 字节");
    EXPECT_EQ(FormatLanguageText(L"%u", -1), L"4294967295");
    EXPECT_EQ(FormatLanguageText(L"%x %X %#x %o", 255, 255, 255, 8), L"ff FF 0xff 10");
    EXPECT_EQ(FormatLanguageText(L"%0.2f%%", 60.0), L"60.00%");
    EXPECT_EQ(FormatLanguageText(L"%.2f K", 1.0), L"1.00 K");
    EXPECT_EQ(FormatLanguageText(L"[%5d|%-5d|%05d|%+d|% d|%.3d]", 42, 42, 42, 42, 42, 42),
              L"[   42|42   |00042|+42| 42|042]");
    EXPECT_EQ(FormatLanguageText(L"[%6s|%-6s|%.2s]", L"ab", L"ab", L"abc"), L"[    ab|ab    |ab]");
    EXPECT_EQ(FormatLanguageText(L"%c%c", 0x4E2D, L'文'), L"中文");
    // Sizes follow the 32-bit program the formats come from: int and long are 32 bits.
    EXPECT_EQ(FormatLanguageText(L"%d %ld %lld %I64d", 4294967296LL + 7, 4294967296LL + 7,
                                 4294967296LL + 7, 4294967296LL + 7),
              L"7 7 4294967303 4294967303");
    EXPECT_EQ(FormatLanguageText(L"%hd %hhu", 65535, 257), L"-1 1");
    EXPECT_EQ(FormatLanguageText(L"100%% done"), L"100% done");
    EXPECT_EQ(FormatLanguageText(L"no placeholder", 5), L"no placeholder");
    EXPECT_EQ(FormatLanguageText(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(FormatLanguageText, RefusesFormatsThatDoNotFitTheirArguments) {
    const std::wstring cases[] = {
        L"%s",      // text conversion given a number
        L"%d%d",    // two conversions, one argument
        L"%n",      // writes through a pointer
        L"%p",      // prints a pointer
        L"%*d",     // width from the argument list
        L"%.*d",    // precision from the argument list
        L"%1$d",    // positional argument
        L"50%",     // lone % at the end
        L"%l",      // size without conversion
        L"%y",      // unknown conversion
        L"%f",      // real conversion given an integer
        L"%5%",     // "%" with a field is no literal
        L"%1025d",  // width beyond the limit
        L"%.99999999999d",
        L"%hhs",  // size that does not fit a text conversion
        L"%c",    // given 0, not a character
    };
    for (const std::wstring& format : cases)
        EXPECT_EQ(FormatLanguageText(format, 0), format) << testing::PrintToString(format);
    EXPECT_EQ(FormatLanguageText(L"%d", L"text"), L"%d");
    EXPECT_EQ(FormatLanguageText(L"%d", 1.5), L"%d");
    EXPECT_EQ(FormatLanguageText(L"%c", 0xD800), L"%c");
    EXPECT_EQ(FormatLanguageText(L"%s"), L"%s");
    // The widest field accepted still formats.
    EXPECT_EQ(FormatLanguageText(L"%1024d", 1).size(), 1024u);
}
