// The shipped language files where the program finds them, against the keys the program looks
// up and against an independent compound-file reader; and the compiler's handling of sources.
#include <gtest/gtest.h>

#include <map>

#include "i18n/format.h"
#include "i18n/language.h"
#include "platform/path.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/i18n/language_test_support.h"
#include "tests/support/shell.h"
#include "tools/langc/language_source.h"

namespace {

const wchar_t* const kMessageKeys[] = {
    L"Title",      L"PDFIsExist",          L"PDFAddFail",       L"PassErr",   L"NotSelected",
    L"GSInitFail", L"ExitWhenCompressing", L"Updating",         L"NoVersion", L"NotUpdate",
    L"UpdateFail", L"HasUpdate",           L"TargetSizeInvalid"};
const wchar_t* const kTextKeys[] = {
    L"NowExit",          L"Return",           L"SizeBytes",         L"SrcPdfNotExist",
    L"UnknowError",      L"Feedback",         L"DownloadingUpdate", L"ProductName",
    L"CompressCrashed",  L"CompressTimeout",  L"CompressNoMemory",  L"CompressUnsafe",
    L"TargetMissed",     L"PdfDamaged",       L"TargetSizeOption",  L"TargetSizeTip",
    L"TargetSizeCustom", L"TargetSizeTypeTip"};

std::wstring Value(UINT codePage, const wchar_t* section, const wchar_t* key) {
    return language_test::Read(GetLanguageFilePath(codePage), section, key).value;
}

// "name size hex" per stream, sorted by name, as the compiler encodes the source.
std::string CompiledListing(const char* source) {
    std::vector<LanguageSection> sections;
    std::vector<LanguageStream> streams;
    std::string error;
    EXPECT_TRUE(ParseLanguageSource(testing_support::ReadFile(
                                        std::string(BRINDLE_LANGUAGE_SOURCE_DIR) + "/" + source),
                                    &sections, &error) &&
                EncodeLanguageSections(sections, &streams, &error))
        << error;
    std::map<std::string, std::string> sorted;
    for (const LanguageStream& s : streams)
        sorted[platform::WideToUtf8(s.name)] = s.bytes;
    std::string listing;
    for (const auto& [name, bytes] : sorted) {
        listing += name + " " + std::to_string(bytes.size()) + " ";
        for (unsigned char c : bytes)
            listing += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
        listing += "\n";
    }
    return listing;
}

}  // namespace

TEST(ShippedLanguageFiles, EveryKeyHasATextAndFormatsKeepTheirPlaceholders) {
    InitAppPaths();
    for (UINT codePage : {936u, 950u}) {
        for (const wchar_t* key : kMessageKeys)
            EXPECT_NE(Value(codePage, kMessageSection, key), language_test::kDefault) << codePage;
        for (const wchar_t* key : kTextKeys)
            EXPECT_NE(Value(codePage, kTextSection, key), language_test::kDefault) << codePage;
        for (const wchar_t* key : {L"UnknowError", L"SizeBytes"}) {
            const std::wstring text =
                FormatLanguageText(Value(codePage, kTextSection, key), -12345);
            EXPECT_NE(text.find(L"-12345"), std::wstring::npos) << platform::WideToUtf8(text);
        }
        const std::wstring failure = Value(codePage, kMessageSection, L"PDFAddFail");
        EXPECT_NE(FormatLanguageText(failure, L"a.pdf").find(L"a.pdf"), std::wstring::npos);
    }
    for (const wchar_t* key : kTextKeys) {
        EXPECT_FALSE(GetText(key).empty());
        EXPECT_EQ(GetText(key), Value(kLanguageCodePage, kTextSection, key));
    }
}

TEST(ShippedLanguageFiles, IndependentReaderSeesTheCompiledStreams) {
    if (std::string(BRINDLE_SYSTEM_PYTHON3).empty())
        GTEST_SKIP() << "no system python3";
    InitAppPaths();
    const std::string script =
        "import sys, olefile\n"
        "with olefile.OleFileIO(sys.argv[1]) as f:\n"
        "    for name in sorted('/'.join(e) for e in f.listdir()):\n"
        "        print(name, f.get_size(name), f.openstream(name).read().hex())\n";
    for (const auto& [codePage, source] : {std::pair{936u, "cn.txt"}, std::pair{950u, "tw.txt"}}) {
        const std::string command =
            std::string(BRINDLE_SYSTEM_PYTHON3) + " -c \"" + script + "\" " +
            testing_support::Quote(platform::WideToUtf8(GetLanguageFilePath(codePage))) + " 2>&1";
        const std::string listing = testing_support::Capture(command);
        EXPECT_EQ(listing, CompiledListing(source));
        EXPECT_EQ(listing.rfind("Message ", 0), 0u) << listing;
        EXPECT_NE(listing.find("\nText "), std::string::npos) << listing;
    }
}

TEST(LanguageSource, KeepsValuesVerbatimAndReportsMistakesByLine) {
    std::vector<LanguageSection> sections;
    std::string error;
    ASSERT_TRUE(
        ParseLanguageSource("\xEF\xBB\xBF; note\r\n[Text]\r\nA= spaced =x \r\n\r\n"
                            "# note\n[Message]\nT=提示\n[text]\nB=",
                            &sections, &error))
        << error;
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].entries,
              (std::vector<LanguageEntry>{{L"A", L" spaced =x "}, {L"B", L""}}));
    EXPECT_EQ(sections[1].entries, (std::vector<LanguageEntry>{{L"T", L"提示"}}));

    for (const auto& [text, message] : std::initializer_list<std::pair<std::string, std::string>>{
             {"A=1\n", "line 1: key=value before the first [Section]"},
             {"[Text]\nA=1\nA=2\n", "line 3: key given twice in this section"},
             {"[Text]\n\nno equals\n", "line 3: expected key=value"},
             {"[Text]\nA=\xFF\n", "line 2: not valid UTF-8"},
             {std::string("[Text]\nA=\0\n", 11), "line 2: NUL character"}}) {
        sections.clear();
        EXPECT_FALSE(ParseLanguageSource(text, &sections, &error));
        EXPECT_EQ(error, message);
    }
    std::vector<LanguageStream> streams;
    EXPECT_FALSE(
        EncodeLanguageSections({{L"Text", {{L"A", std::wstring(65600, L'x')}}}}, &streams, &error));
    EXPECT_NE(error.find("must stay below 131072"), std::string::npos) << error;
}
