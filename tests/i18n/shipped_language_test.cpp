// The shipped language files as the program finds them beside the executable, checked against
// the table of keys the program looks up and against an independent compound-file reader; and
// the language compiler's handling of its sources.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "i18n/format.h"
#include "i18n/language.h"
#include "platform/path.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/i18n/language_test_support.h"
#include "tools/langc/language_source.h"

namespace {

const std::pair<const wchar_t*, const wchar_t*> kKeys[] = {
    {L"Message", L"Title"},
    {L"Message", L"PDFIsExist"},
    {L"Message", L"PDFAddFail"},
    {L"Message", L"PassErr"},
    {L"Message", L"NotSelected"},
    {L"Message", L"GSInitFail"},
    {L"Message", L"ExitWhenCompressing"},
    {L"Message", L"Updating"},
    {L"Message", L"NoVersion"},
    {L"Message", L"NotUpdate"},
    {L"Message", L"UpdateFail"},
    {L"Message", L"HasUpdate"},
    {L"Text", L"NowExit"},
    {L"Text", L"Return"},
    {L"Text", L"SizeBytes"},
    {L"Text", L"SrcPdfNotExist"},
    {L"Text", L"UnknowError"},
    {L"Text", L"Feedback"},
    {L"Text", L"DownloadingUpdate"},
    {L"Text", L"ProductName"},
};

std::wstring Value(UINT codePage, const wchar_t* section, const wchar_t* key) {
    return language_test::Read(GetLanguageFilePath(codePage), section, key).value;
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes)
        hex += {digits[c >> 4], digits[c & 15]};
    return hex;
}

std::vector<LanguageStream> CompileSource(const std::string& name) {
    std::vector<LanguageSection> sections;
    std::vector<LanguageStream> streams;
    std::string error;
    const std::string text =
        testing_support::ReadFile(std::string(BRINDLE_LANGUAGE_SOURCE_DIR) + "/" + name);
    EXPECT_TRUE(ParseLanguageSource(text, &sections, &error)) << error;
    EXPECT_TRUE(EncodeLanguageSections(sections, &streams, &error)) << error;
    return streams;
}

}  // namespace

TEST(ShippedLanguageFiles, EveryKeyHasAText) {
    InitAppPaths();
    for (UINT codePage : {936u, 950u}) {
        for (const auto& [section, key] : kKeys)
            EXPECT_FALSE(Value(codePage, section, key).empty())
                << codePage << " " << platform::WideToUtf8(key);
    }
    for (const auto& [section, key] : kKeys) {
        if (std::wstring(section) == kTextSection) {
            EXPECT_EQ(GetText(key), Value(kLanguageCodePage, section, key));
        }
    }
}

TEST(ShippedLanguageFiles, FormatsKeepTheirPlaceholders) {
    InitAppPaths();
    for (UINT codePage : {936u, 950u}) {
        for (const wchar_t* key : {L"UnknowError", L"SizeBytes"}) {
            const std::wstring format = Value(codePage, kTextSection, key);
            const std::wstring text = FormatLanguageText(format, -12345);
            EXPECT_NE(text.find(L"-12345"), std::wstring::npos) << platform::WideToUtf8(format);
        }
        const std::wstring format = Value(codePage, kMessageSection, L"PDFAddFail");
        EXPECT_NE(FormatLanguageText(format, L"a.pdf").find(L"a.pdf"), std::wstring::npos);
        EXPECT_NE(Value(codePage, kTextSection, L"ProductName").find(L"Brindle"),
                  std::wstring::npos);
    }
}

TEST(ShippedLanguageFiles, IndependentReaderSeesTheCompiledStreams) {
    if (std::string(BRINDLE_SYSTEM_PYTHON3).empty())
        GTEST_SKIP() << "no system python3";
    InitAppPaths();
    const char* script =
        "import sys, olefile\n"
        "with olefile.OleFileIO(sys.argv[1]) as f:\n"
        "    for entry in sorted(f.listdir()):\n"
        "        name = '/'.join(entry)\n"
        "        print(name, f.get_size(name), f.openstream(name).read().hex())\n";
    for (const auto& [codePage, source] : {std::pair{936u, "cn.txt"}, std::pair{950u, "tw.txt"}}) {
        std::string expected;
        std::map<std::wstring, std::string> sorted;
        for (const LanguageStream& stream : CompileSource(source))
            sorted[stream.name] = stream.bytes;
        for (const auto& [name, bytes] : sorted)
            expected += platform::WideToUtf8(name) + " " + std::to_string(bytes.size()) + " " +
                        Hex(bytes) + "\n";
        const std::string path = platform::NativePath(GetLanguageFilePath(codePage));
        const std::string listing = RunCommand(std::string(BRINDLE_SYSTEM_PYTHON3) + " -c \"" +
                                               script + "\" '" + path + "' 2>&1");
        EXPECT_EQ(listing, expected) << source;
        EXPECT_EQ(sorted.size(), 2u);
    }
}

TEST(LanguageSource, ParsesWhatTranslatorsWrite) {
    const std::string text =
        "\xEF\xBB\xBF; comment\r\n"
        "[Text]\r\n"
        "A= spaced value \r\n"
        "\r\n"
        "# another comment\n"
        "Url=a=b\n"
        "[Message]\n"
        "Title=提示\n"
        "[text]\n"
        "B=";
    std::vector<LanguageSection> sections;
    std::string error;
    ASSERT_TRUE(ParseLanguageSource(text, &sections, &error)) << error;
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].name, L"Text");
    const std::vector<LanguageEntry> text_entries = {
        {L"A", L" spaced value "}, {L"Url", L"a=b"}, {L"B", L""}};
    EXPECT_EQ(sections[0].entries, text_entries);
    EXPECT_EQ(sections[1].entries, (std::vector<LanguageEntry>{{L"Title", L"提示"}}));
}

TEST(LanguageSource, ReportsMistakesWithTheirLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"A=1\n", "line 1: key=value before the first [Section]"},
        {"[Text]\nA=1\nA=2\n", "line 3: key given twice in this section"},
        {"[Text]\n\nno equals\n", "line 3: expected key=value"},
        {"[Text]\n=value\n", "line 2: expected key=value"},
        {"[Text]\nA=\xFF\xFE\n", "line 2: not valid UTF-8"},
        {std::string("[Text]\nA=1\0\n", 12), "line 2: NUL character"},
    };
    for (const auto& [text, message] : cases) {
        std::vector<LanguageSection> sections;
        std::string error;
        EXPECT_FALSE(ParseLanguageSource(text, &sections, &error));
        EXPECT_EQ(error, message);
    }
    // A section the reader could not take whole is refused.
    std::vector<LanguageStream> streams;
    std::string error;
    EXPECT_FALSE(
        EncodeLanguageSections({{L"Text", {{L"A", std::wstring(65600, L'x')}}}}, &streams, &error));
    EXPECT_NE(error.find("must stay below 131072"), std::string::npos) << error;
}
