// Mutated language files through the whole lookup: whatever the damage, a lookup ends with the
// value or the default, terminated within its buffer, without printing, leaking descriptors or
// growing memory.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "i18n/language.h"
#include "i18n/language_file.h"
#include "platform/path.h"
#include "tests/i18n/language_test_support.h"

namespace {

constexpr int kMutatedFiles = 10000;

size_t OpenDescriptors() {
    size_t count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

class Mutator {
  public:
    explicit Mutator(unsigned seed) : random_(seed) {}

    // One to four changes, aimed half of the time at the header, the first sectors (where the
    // writer puts the tables and directory of a small file) or the directory's link fields.
    std::string Mutate(std::string bytes) {
        const int changes = 1 + Below(4);
        for (int i = 0; i < changes && !bytes.empty(); ++i)
            Change(bytes);
        return bytes;
    }

  private:
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

    size_t Offset(const std::string& bytes) {
        switch (Below(4)) {
            case 0:
                return Below(std::min<size_t>(bytes.size(), 80));
            case 1:
                return Below(std::min<size_t>(bytes.size(), 4096));
            default:
                return Below(bytes.size());
        }
    }

    uint32_t Word() {
        static constexpr uint32_t kInteresting[] = {
            0,          1,          2,          3,          4,          0x7F,      0x1000,
            0x7FFFFFFF, 0xFFFFFFFA, 0xFFFFFFFC, 0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF};
        return Below(3) ? kInteresting[Below(std::size(kInteresting))]
                        : static_cast<uint32_t>(random_());
    }

    void Change(std::string& bytes) {
        const size_t at = Offset(bytes);
        switch (Below(5)) {
            case 0:
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << Below(8)));
                break;
            case 1:
                bytes[at] = static_cast<char>(random_());
                break;
            case 2: {
                const uint32_t word = Word();
                std::memcpy(bytes.data() + (at & ~size_t{3}), &word,
                            std::min<size_t>(4, bytes.size() - (at & ~size_t{3})));
                break;
            }
            case 3:
                bytes.resize(at);
                break;
            default:
                bytes.insert(at, bytes.substr(Offset(bytes), Below(600)));
                break;
        }
    }

    std::mt19937 random_;
};

}  // namespace

TEST(LanguageFileMutation, DamagedFilesNeverCrashPrintOrLeak) {
    testing_support::TempDir dir;
    std::vector<LanguageEntry> many;
    for (int i = 0; i < 400; ++i)
        many.emplace_back(L"Key" + std::to_wstring(i), L"值" + std::to_wstring(i));
    // A small file (mini stream only) and one whose "Text" stream needs regular sectors.
    const std::string bases[] = {
        testing_support::ReadFile(platform::NativePath(language_test::WriteFile(
            dir,
            {{L"Text", EncodeLanguageSection({{L"NowExit", L"退出"}, {L"A", L"1"}})},
             {L"Message", EncodeLanguageSection({{L"Title", L"提示"}})}},
            L"small.dat"))),
        testing_support::ReadFile(platform::NativePath(
            language_test::WriteFile(dir,
                                     {{L"Text", EncodeLanguageSection(many)},
                                      {L"Message", EncodeLanguageSection({{L"Title", L"提示"}})}},
                                     L"large.dat"))),
    };
    ASSERT_FALSE(bases[0].empty());
    ASSERT_FALSE(bases[1].empty());

    const std::wstring path = dir.WFile(L"mutated.dat");
    const std::string nativePath = dir.File("mutated.dat");
    Mutator mutator(20261208);
    const size_t descriptors = OpenDescriptors();
    long residentAfterWarmUp = 0;
    int found = 0;
    language_test::StderrCapture stderrCapture;
    for (int i = 0; i < kMutatedFiles; ++i) {
        testing_support::WriteFile(nativePath, mutator.Mutate(bases[i % 2]));
        for (const auto& [section, key] :
             {std::pair{L"Text", L"NowExit"}, std::pair{L"Text", L"Key399"},
              std::pair{L"Message", L"Title"}}) {
            const auto r = language_test::Read(path, section, key);
            ASSERT_LT(r.value.size(), kLanguageValueCapacity);
            if (r.found)
                ++found;
            else
                ASSERT_EQ(r.value, language_test::kDefault);
        }
        if (i == 1000)
            residentAfterWarmUp = ResidentKiB();
    }
    EXPECT_EQ(stderrCapture.Finish(), "");
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_LT(ResidentKiB() - residentAfterWarmUp, 8 * 1024) << "KiB grown after warm-up";
    // Most mutations miss what a lookup needs; the loop must have exercised both outcomes.
    EXPECT_GT(found, 0);
    EXPECT_LT(found, 3 * kMutatedFiles);
}
