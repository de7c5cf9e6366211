#include <gtest/gtest.h>

#include <unistd.h>

#include "engine/compress_job.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class OutputPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SettingsStore& settings = GetSettingsStore();
        settings.saveSamePath = 1;
        settings.savePath.clear();
    }
    TempDir dir_;
};

TEST_F(OutputPathTest, TakesTheFirstFreeNumberAndClaimsIt) {
    WriteFile(dir_.File("report-new.pdf"), "older result");
    WriteFile(dir_.File("report-new1.pdf"), "another");
    const std::wstring output = MakeOutputPath(dir_.WFile(L"report.pdf"));
    EXPECT_EQ(output, dir_.WFile(L"report-new2.pdf"));
    EXPECT_TRUE(FileExists(dir_.File("report-new2.pdf")));
    EXPECT_EQ(ReadFile(dir_.File("report-new.pdf")), "older result");
    EXPECT_EQ(ReadFile(dir_.File("report-new1.pdf")), "another");
    // The claimed name is taken now: the next job gets the next one.
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"report.pdf")), dir_.WFile(L"report-new3.pdf"));
}

TEST_F(OutputPathTest, BaseNameDropsOnlyAFinalPdfOfAnyCase) {
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"Scan.PDF")), dir_.WFile(L"Scan-new.pdf"));
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"notes.txt.pdf")), dir_.WFile(L"notes.txt-new.pdf"));
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"data.bin")), dir_.WFile(L"data.bin-new.pdf"));
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L".pdf")), dir_.WFile(L"-new.pdf"));
}

TEST_F(OutputPathTest, CustomFolderWithOrWithoutTrailingSeparator) {
    TempDir target;
    SettingsStore& settings = GetSettingsStore();
    settings.saveSamePath = 0;
    settings.savePath = target.wpath() + L"/";
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"a.pdf")), target.WFile(L"a-new.pdf"));
    settings.savePath = target.wpath();
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"a.pdf")), target.WFile(L"a-new1.pdf"));
    EXPECT_FALSE(FileExists(dir_.File("a-new.pdf")));
}

#ifndef _WIN32
TEST_F(OutputPathTest, SourceInTheRootGivesOutputDirectlyInTheRoot) {
    const std::wstring name = L"brindle-root-" + std::to_wstring(::getpid());
    const std::wstring output = MakeOutputPath(L"/" + name + L".pdf");
    if (::access("/", W_OK) != 0) {
        EXPECT_EQ(output, L"");  // no file can be claimed there
        return;
    }
    EXPECT_EQ(output, L"/" + name + L"-new.pdf");
    ::unlink(platform::WideToUtf8(output).c_str());
}

TEST_F(OutputPathTest, ExistingLinksAreNeverFollowedOrReplaced) {
    ASSERT_EQ(::symlink(dir_.File("elsewhere.pdf").c_str(), dir_.File("x-new.pdf").c_str()), 0);
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"x.pdf")), dir_.WFile(L"x-new1.pdf"));
    EXPECT_FALSE(FileExists(dir_.File("elsewhere.pdf")));
}
#endif

TEST_F(OutputPathTest, AFolderThatCannotHoldFilesGivesNoName) {
    WriteFile(dir_.File("plain-file"), "");
    SettingsStore& settings = GetSettingsStore();
    settings.saveSamePath = 0;
    settings.savePath = dir_.WFile(L"plain-file");
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"a.pdf")), L"");
    settings.savePath = dir_.WFile(L"missing-folder");
    EXPECT_EQ(MakeOutputPath(dir_.WFile(L"a.pdf")), L"");
}

}  // namespace
