// The language reader against files written by the real writer: the scrambling boundaries, the
// entry walk, the capacity cut and every way a lookup falls back to its default.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "i18n/language.h"
#include "i18n/language_file.h"
#include "settings/settings.h"
#include "tests/i18n/language_test_support.h"

using language_test::kDefault;
using language_test::Read;
using language_test::Scrambled;
using language_test::Utf16Le;
using testing_support::TempDir;

namespace {

std::wstring WriteText(const TempDir& dir, const std::string& textStream) {
    return language_test::WriteFile(dir, {{L"Text", textStream}});
}

std::wstring WriteEntries(const TempDir& dir, const std::vector<LanguageEntry>& entries) {
    return WriteText(dir, EncodeLanguageSection(entries));
}

}  // namespace

TEST(LanguageScrambling, EveryCompleteGroupButOneEndingTheStream) {
    // Which bytes the step flips, by stream length: the low word of each group at 4i with
    // 4i + 4 < n.
    struct Case {
        size_t n;
        std::string flipped;  // 'x' where the byte changes
    };
    for (const Case& c : {Case{3, "..."}, Case{4, "...."}, Case{5, "xx..."}, Case{6, "xx...."},
                          Case{8, "xx......"}, Case{9, "xx..xx..."}, Case{12, "xx..xx......"}}) {
        std::string bytes(c.n, '\0');
        ToggleLanguageScrambling(reinterpret_cast<BYTE*>(bytes.data()), bytes.size());
        std::string seen;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char expected = i % 4 == 0 ? '\xD4' : '\x71';
            seen += bytes[i] == '\0' ? '.' : (bytes[i] == expected ? 'x' : '?');
        }
        EXPECT_EQ(seen, c.flipped) << "n = " << c.n;
    }
}

TEST(LanguageScrambling, ReaderUnscramblesStreamsAtTheBoundaries) {
    TempDir dir;
    const char k = static_cast<char>('k' ^ 0xD4), v = static_cast<char>('v' ^ 0xD4);
    const char hi = '\x71';
    // 4 bytes "k=": one group that ends the stream, stored plain.
    EXPECT_TRUE(Read(WriteText(dir, std::string("k\0=\0", 4)), L"Text", L"k").found);
    // 6 bytes "k=v" unterminated: the first group scrambled, the lone tail unit plain.
    auto r = Read(WriteText(dir, std::string{k, hi, '=', 0, 'v', 0}), L"Text", L"k");
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.value, L"v");
    // 8 bytes "k=v\0": only the first group scrambled.
    r = Read(WriteText(dir, std::string{k, hi, '=', 0, 'v', 0, 0, 0}), L"Text", L"k");
    EXPECT_EQ(r.value, L"v");
    // 9 bytes "k=vw" and a stray byte: both complete groups scrambled, the odd byte dropped.
    r = Read(WriteText(dir, std::string{k, hi, '=', 0, v, hi, 'w', 0, 'Z'}), L"Text", L"k");
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.value, L"vw");
}

TEST(LanguageLookup, EntryWalk) {
    TempDir dir;
    const std::wstring path = WriteEntries(dir, {{L"Key", L"first"},
                                                 {L"Key", L"second"},
                                                 {L"Url", L"a=b=c"},
                                                 {L"Empty", L""},
                                                 {L"Wide", L"中文 😀 text"}});
    EXPECT_EQ(Read(path, L"Text", L"Key").value, L"first");
    EXPECT_EQ(Read(path, L"Text", L"Url").value, L"a=b=c");
    EXPECT_EQ(Read(path, L"Text", L"Wide").value, L"中文 😀 text");
    const auto empty = Read(path, L"Text", L"Empty");
    EXPECT_TRUE(empty.found);
    EXPECT_EQ(empty.value, L"");

    for (const wchar_t* absent : {L"key", L"KEY", L"Key ", L"Ke", L"Keys", L"a"}) {
        const auto r = Read(path, L"Text", absent);
        EXPECT_FALSE(r.found) << absent;
        EXPECT_EQ(r.value, kDefault);
    }
}

TEST(LanguageLookup, EntriesWithoutEqualsAreSkippedAndAnEmptyEntryEndsTheSection) {
    TempDir dir;
    const std::string plain = Utf16Le(std::u16string(u"junk\0A=1\0\0B=2\0", 14));
    const std::wstring path = WriteText(dir, Scrambled(plain));
    EXPECT_EQ(Read(path, L"Text", L"A").value, L"1");
    EXPECT_FALSE(Read(path, L"Text", L"junk").found);
    EXPECT_FALSE(Read(path, L"Text", L"B").found);
    // An empty first entry means an empty section.
    EXPECT_FALSE(
        Read(WriteText(dir, Scrambled(Utf16Le(std::u16string(u"\0A=1\0", 5)))), L"Text", L"A")
            .found);
}

TEST(LanguageLookup, UnterminatedLastEntryIsStillFound) {
    TempDir dir;
    const std::wstring path = WriteText(dir, Scrambled(Utf16Le(std::u16string(u"A=1\0B=two", 9))));
    EXPECT_EQ(Read(path, L"Text", L"B").value, L"two");
}

TEST(LanguageLookup, ValuesAndDefaultsAreCutToTheCapacity) {
    TempDir dir;
    const std::wstring longValue(300, L'v');
    const std::wstring path =
        WriteEntries(dir, {{L"Long", longValue}, {L"Exact", std::wstring(259, L'e')}});
    auto r = Read(path, L"Text", L"Long");
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.value, std::wstring(259, L'v'));
    EXPECT_EQ(Read(path, L"Text", L"Exact").value, std::wstring(259, L'e'));
    EXPECT_EQ(Read(path, L"Text", L"Long", 5).value, L"vvvv");
    EXPECT_EQ(Read(path, L"Text", L"Missing", 4).value, kDefault.substr(0, 3));
    // A capacity of one leaves room for the terminator only.
    EXPECT_EQ(Read(path, L"Text", L"Long", 1).value, L"");
}

TEST(LanguageLookup, EveryMissingPieceGivesTheDefault) {
    TempDir dir;
    const std::wstring path = WriteEntries(dir, {{L"A", L"1"}});
    ::mkdir(dir.File("folder").c_str(), 0755);
    testing_support::WriteFile(dir.File("plain.txt"), "A=1\n[Text]\nA=1\n");
    testing_support::WriteFile(dir.File("empty.dat"), "");
    ::mkfifo(dir.File("fifo.dat").c_str(), 0600);
    const struct {
        std::wstring path, section, key;
    } cases[] = {
        {dir.WFile(L"missing/lang.dat"), L"Text", L"A"},  // folder
        {dir.WFile(L"missing.dat"), L"Text", L"A"},       // file
        {dir.WFile(L"folder"), L"Text", L"A"},            // a folder where the file should be
        {dir.WFile(L"plain.txt"), L"Text", L"A"},         // not a compound file
        {dir.WFile(L"empty.dat"), L"Text", L"A"},
        {dir.WFile(L"fifo.dat"), L"Text", L"A"},  // must not block waiting for a writer
        {path, L"Message", L"A"},                 // stream
        {path, L"Text", L"B"},                    // key
        {L"", L"Text", L"A"},
    };
    for (const auto& c : cases) {
        const auto r = Read(c.path, c.section, c.key);
        EXPECT_FALSE(r.found) << testing::PrintToString(c.path);
        EXPECT_EQ(r.value, kDefault);
    }
    // The section name compares without regard to case, as stream names do.
    EXPECT_TRUE(Read(path, L"TEXT", L"A").found);
}

TEST(LanguageLookup, EmptyAndOversizedStreams) {
    TempDir dir;
    EXPECT_FALSE(Read(WriteText(dir, ""), L"Text", L"A").found);
    // A stream that fills the whole 131,072-byte buffer may go on beyond it: the section is
    // rejected. One just below the buffer is read in full.
    const auto streamOfSize = [](size_t bytes) {
        std::u16string units = u"A=1";
        units.push_back(u'\0');
        units += u"Pad=";
        units.resize(bytes / 2 - 1, u'p');
        units.push_back(u'\0');
        return Scrambled(Utf16Le(units) + std::string(bytes % 2, 'x'));
    };
    EXPECT_EQ(Read(WriteText(dir, streamOfSize(131070)), L"Text", L"A").value, L"1");
    EXPECT_EQ(Read(WriteText(dir, streamOfSize(131071)), L"Text", L"A").value, L"1");
    for (size_t size : {size_t{131072}, size_t{131074}, size_t{400000}}) {
        const auto r = Read(WriteText(dir, streamOfSize(size)), L"Text", L"A");
        EXPECT_FALSE(r.found) << size;
        EXPECT_EQ(r.value, kDefault);
    }
}

TEST(LanguageFilePath, CodePageChoosesTheFile) {
    InitAppPaths();
    const std::wstring folder = GetAppPaths().programDir + L"/language/";
    EXPECT_EQ(GetLanguageFilePath(936), folder + L"cn.dat");
    EXPECT_EQ(GetLanguageFilePath(950), folder + L"tw.dat");
    EXPECT_EQ(GetLanguageFilePath(), GetLanguageFilePath(kLanguageCodePage));
    // Any other code page names the folder alone, so lookups give their defaults.
    for (UINT codePage : {0u, 1252u, 65001u}) {
        EXPECT_EQ(GetLanguageFilePath(codePage), folder);
        EXPECT_FALSE(Read(GetLanguageFilePath(codePage), L"Text", L"NowExit").found);
    }
}
