// Mutated language files through the whole lookup: whatever the damage, a lookup ends with the
// value or the default, terminated within its buffer, without printing or leaking descriptors.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "i18n/language.h"
#include "platform/path.h"
#include "tests/i18n/language_test_support.h"

namespace {

size_t OpenDescriptors() {
#ifdef _WIN32
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return handles;
#else
    size_t count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
#endif
}

// One to four changes: bit flips, random bytes, words that mean something to the format
// (free, end of chain, sector numbers), truncation and repeated chunks. Half of them land in the
// first 4 KiB, where a small file keeps its header, tables and directory.
std::string Mutate(std::string bytes, std::mt19937& random) {
    const auto below = [&](size_t n) {
        return std::uniform_int_distribution<size_t>(0, n - 1)(random);
    };
    static constexpr uint32_t kWords[] = {
        0, 1, 2, 3, 0x1000, 0x7FFFFFFF, 0xFFFFFFFA, 0xFFFFFFFC, 0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF};
    for (size_t changes = 1 + below(4); changes > 0 && !bytes.empty(); --changes) {
        const size_t at = below(below(2) ? std::min<size_t>(bytes.size(), 4096) : bytes.size());
        const uint32_t word = below(3) ? kWords[below(std::size(kWords))] : random();
        switch (below(5)) {
            case 0:
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << below(8)));
                break;
            case 1:
                bytes[at] = static_cast<char>(random());
                break;
            case 2:
                std::memcpy(bytes.data() + at, &word, std::min<size_t>(4, bytes.size() - at));
                break;
            case 3:
                bytes.resize(at);
                break;
            default:
                bytes.insert(at, bytes.substr(below(bytes.size()), below(600)));
                break;
        }
    }
    return bytes;
}

}  // namespace

TEST(LanguageFileMutation, DamagedFilesNeverCrashPrintOrLeak) {
    testing_support::TempDir dir;
    std::vector<LanguageEntry> many;
    for (int i = 0; i < 400; ++i)
        many.emplace_back(L"Key" + std::to_wstring(i), L"值");
    const std::string message = EncodeLanguageSection({{L"Title", L"提示"}});
    // A small file (mini stream only) and one whose "Text" needs regular sectors.
    std::string bases[2];
    for (int i = 0; i < 2; ++i) {
        const std::string text =
            i ? EncodeLanguageSection(many) : EncodeLanguageSection({{L"Key1", L"1"}});
        language_test::WriteFile(dir, {{L"Text", text}, {L"Message", message}});
        bases[i] = testing_support::ReadFile(dir.File("lang.dat"));
    }
    const std::wstring path = dir.WFile(L"mutated.dat");
    std::mt19937 random(20261208);
    const size_t descriptors = OpenDescriptors();
    int found = 0;
    language_test::StderrCapture stderrCapture;
    for (int i = 0; i < 10000; ++i) {
        testing_support::WriteFile(dir.File("mutated.dat"), Mutate(bases[i % 2], random));
        for (const auto& [section, key] :
             {std::pair{L"Text", L"Key1"}, std::pair{L"Text", L"Key399"},
              std::pair{L"Message", L"Title"}}) {
            const auto r = language_test::Read(path, section, key);
            ASSERT_LT(r.value.size(), kLanguageValueCapacity);
            ASSERT_TRUE(r.found || r.value == language_test::kDefault);
            found += r.found;
        }
    }
    EXPECT_EQ(stderrCapture.Finish(), "");
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_GT(found, 0) << "the mutations must leave some files readable";
    EXPECT_LT(found, 30000) << "and break others";
}
