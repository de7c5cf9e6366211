// The language reader against files written by the real writer: the scrambling boundaries, the
// entry walk, the capacity cut and every way a lookup falls back to its default.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "i18n/language.h"
#include "settings/settings.h"
#include "tests/i18n/language_test_support.h"

using language_test::kDefault;
using language_test::RawStream;
using language_test::Read;
using testing_support::TempDir;

namespace {

std::wstring WriteText(const TempDir& dir, const std::string& stream) {
    return language_test::WriteFile(dir, {{L"Text", stream}});
}

}  // namespace

TEST(LanguageLookup, UnscramblesUpToTheLastCompleteGroup) {
    TempDir dir;
    const char k = static_cast<char>('k' ^ 0xD4), v = static_cast<char>('v' ^ 0xD4), hi = 0x71;
    // 4 bytes "k=": the only group ends the stream and is stored plain.
    EXPECT_TRUE(Read(WriteText(dir, {'k', 0, '=', 0}), L"Text", L"k").found);
    // 6 bytes "k=v" unterminated: the first group scrambled, the tail unit plain.
    EXPECT_EQ(Read(WriteText(dir, {k, hi, '=', 0, 'v', 0}), L"Text", L"k").value, L"v");
    // 8 bytes "k=v\0": the last complete group ends the stream and stays plain.
    EXPECT_EQ(Read(WriteText(dir, {k, hi, '=', 0, 'v', 0, 0, 0}), L"Text", L"k").value, L"v");
    // 9 bytes "k=vw" and a stray byte: both complete groups scrambled, the odd byte dropped.
    EXPECT_EQ(Read(WriteText(dir, {k, hi, '=', 0, v, hi, 'w', 0, 'Z'}), L"Text", L"k").value,
              L"vw");
}

TEST(LanguageLookup, WalksEntriesUntilTheFirstEmptyOne) {
    TempDir dir;
    constexpr char16_t kUnits[] = u"junk\0Key=first\0Key=second\0Url=a=b\0Wide=中文 😀\0\0After=x";
    const std::wstring path = WriteText(dir, RawStream({kUnits, std::size(kUnits) - 1}));
    EXPECT_EQ(Read(path, L"Text", L"Key").value, L"first");
    EXPECT_EQ(Read(path, L"Text", L"Url").value, L"a=b");
    EXPECT_EQ(Read(path, L"Text", L"Wide").value, L"中文 😀");
    for (const wchar_t* absent : {L"key", L"KEY", L"Key ", L"Ke", L"junk", L"After"}) {
        const auto r = Read(path, L"Text", absent);
        EXPECT_FALSE(r.found) << absent;
        EXPECT_EQ(r.value, kDefault);
    }
    // The reader terminates the data itself: an unterminated last entry still counts.
    EXPECT_EQ(
        Read(WriteText(dir, RawStream(std::u16string(u"A=1\0B=two", 9))), L"Text", L"B").value,
        L"two");
}

TEST(LanguageLookup, CutsValuesAndDefaultsToTheCapacity) {
    TempDir dir;
    const std::wstring path =
        WriteText(dir, EncodeLanguageSection({{L"Long", std::wstring(300, L'v')}}));
    const auto r = Read(path, L"Text", L"Long");
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.value, std::wstring(259, L'v'));
    EXPECT_EQ(Read(path, L"Text", L"Long", 5).value, L"vvvv");
    EXPECT_EQ(Read(path, L"Text", L"Long", 1).value, L"");
    EXPECT_EQ(Read(path, L"Text", L"Missing", 4).value, L"<de");
}

TEST(LanguageLookup, EveryMissingPieceGivesTheDefault) {
    TempDir dir;
    const std::wstring path = WriteText(dir, EncodeLanguageSection({{L"A", L"1"}}));
    std::filesystem::create_directory(dir.File("folder"));
#ifndef _WIN32
    ::mkfifo(dir.File("fifo").c_str(), 0600);
#endif
    testing_support::WriteFile(dir.File("plain.txt"), "[Text]\nA=1\n");
    testing_support::WriteFile(dir.File("empty"), "");
    const std::pair<std::wstring, const wchar_t*> cases[] = {
        {dir.WFile(L"missing/lang.dat"), L"Text"},
        {dir.WFile(L"missing.dat"), L"Text"},
        {dir.WFile(L"folder"), L"Text"},
        {dir.WFile(L"plain.txt"), L"Text"},
        {dir.WFile(L"empty"), L"Text"},
#ifndef _WIN32
        {dir.WFile(L"fifo"), L"Text"},  // no blocking
#endif
        {path, L"Message"},
        {language_test::WriteFile(dir, {{L"Text", ""}}, L"e.dat"), L"Text"},
    };
    for (const auto& [file, section] : cases) {
        const auto r = Read(file, section, L"A");
        EXPECT_FALSE(r.found) << testing::PrintToString(file) << " " << section;
        EXPECT_EQ(r.value, kDefault);
    }
    // Section names compare without regard to case, as stream names do.
    EXPECT_TRUE(Read(path, L"TEXT", L"A").found);
}

TEST(LanguageLookup, RejectsStreamsThatFillTheWholeBuffer) {
    TempDir dir;
    const auto streamOfSize = [](size_t bytes) {
        std::u16string units(u"A=1\0Pad=", 8);
        units.resize(bytes / 2 - 1, u'p');
        units.push_back(u'\0');
        return RawStream(units, std::string(bytes % 2, 'x'));
    };
    for (size_t size : {131070u, 131071u})
        EXPECT_EQ(Read(WriteText(dir, streamOfSize(size)), L"Text", L"A").value, L"1") << size;
    for (size_t size : {131072u, 131074u, 400000u})
        EXPECT_EQ(Read(WriteText(dir, streamOfSize(size)), L"Text", L"A").value, kDefault) << size;
}

TEST(LanguageLookup, CodePageChoosesTheFile) {
    InitAppPaths();
    const std::wstring folder = GetAppPaths().programDir + L"/language/";
    EXPECT_EQ(GetLanguageFilePath(936), folder + L"cn.dat");
    EXPECT_EQ(GetLanguageFilePath(950), folder + L"tw.dat");
    EXPECT_EQ(GetLanguageFilePath(), GetLanguageFilePath(kLanguageCodePage));
    for (UINT codePage : {0u, 1252u}) {
        EXPECT_EQ(GetLanguageFilePath(codePage), folder);
        EXPECT_EQ(Read(GetLanguageFilePath(codePage), L"Text", L"NowExit").value, kDefault);
    }
}

TEST(LanguageLookup, RunsOnManyThreadsAtOnce) {
    TempDir dir;
    const std::wstring path = WriteText(dir, EncodeLanguageSection({{L"A", L"1"}, {L"B", L"2"}}));
    std::atomic<int> found = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                found += Read(path, L"Text", t % 2 ? L"A" : L"B").found;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(found, 400);
}
