#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/path.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

using testing_support::FileExists;
using testing_support::IniFileText;
using testing_support::NativeSeparators;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TestAppData;
using testing_support::TestDesktop;
using testing_support::TestHome;
using testing_support::WriteFile;

namespace {

// Every test starts from a fresh data folder without config.ini.
class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitAppPaths();
        std::filesystem::remove(config_);
        std::filesystem::create_directories(desktop_);
    }
    void TearDown() override { std::filesystem::remove(config_); }
    SettingsStore Loaded() {
        SettingsStore store;
        store.Load();
        return store;
    }
    const std::string config_ = NativeSeparators(TestAppData() + "/Brindle/config.ini");
    const std::string desktop_ = TestDesktop();
};

TEST_F(SettingsStoreTest, PathsFollowTheTestHome) {
    const AppPaths& paths = GetAppPaths();
    const std::string dataDir = NativeSeparators(TestAppData() + "/Brindle");
    EXPECT_EQ(paths.dataDir, platform::Utf8ToWide(dataDir));
    EXPECT_TRUE(FileExists(dataDir));
    EXPECT_EQ(paths.desktopDir, platform::Utf8ToWide(desktop_));
    EXPECT_FALSE(paths.programDir.empty());
    EXPECT_NE(paths.programDir.back(), platform::kPathSeparator);
    EXPECT_EQ(DataFilePath(L"OstrelSetup.exe"),
              NativeSeparators(paths.dataDir + L"/OstrelSetup.exe"));
}

#ifndef _WIN32
TEST_F(SettingsStoreTest, AFreshAccountWithoutAConfigurationHomeStillGetsItsDataFolder) {
    TempDir fresh;
    const std::string configHome = fresh.File(".config");
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    InitAppPaths();
    ::setenv("XDG_CONFIG_HOME", (TestHome() + "/.config").c_str(), 1);
    EXPECT_TRUE(FileExists(configHome + "/Brindle"));
    InitAppPaths();
}
#endif

TEST_F(SettingsStoreTest, DefaultsWithoutAFileAndLoadingCreatesNone) {
    const SettingsStore store = Loaded();
    EXPECT_EQ(store.configPath, DataFilePath(L"config.ini"));
    EXPECT_EQ(store.canUpdate, 1);
    EXPECT_EQ(store.saveSamePath, 1);
    EXPECT_EQ(store.savePath, GetAppPaths().desktopDir);
    EXPECT_EQ(store.compressDpi, 300);
    EXPECT_FALSE(FileExists(config_));
}

TEST_F(SettingsStoreTest, ADeletedSaveFolderBecomesZeroAndTheDesktop) {
    TempDir folder;
    WriteFile(config_, "[General]\nSavePath=" + folder.path() + "\nSaveSamePath=0\n");
    EXPECT_EQ(Loaded().savePath, folder.wpath());

    const std::string gone = folder.File("gone");
    WriteFile(config_, "[General]\nSavePath=" + gone + "\nSaveSamePath=0\n");
    const SettingsStore store = Loaded();
    EXPECT_EQ(store.savePath, GetAppPaths().desktopDir);
    EXPECT_EQ(store.saveSamePath, 0);
    EXPECT_EQ(ReadFile(config_), IniFileText(L"[General]\nSavePath=0\nSaveSamePath=0\n"));
    EXPECT_EQ(Loaded().savePath, GetAppPaths().desktopDir);
}

TEST_F(SettingsStoreTest, CompressDpiIsKeptUnlessGhostscriptCouldNotUseIt) {
    for (const auto& [text, expected] : {std::pair{"96", 96},
                                         {"2400", 2400},
                                         {"0", 300},
                                         {"-72", 300},
                                         {"99999999999", 300},
                                         {"abc", 300}}) {
        WriteFile(config_, std::string("[General]\nCompressDPI=") + text + "\n");
        EXPECT_EQ(Loaded().compressDpi, expected) << text;
    }
}

TEST_F(SettingsStoreTest, SettersWriteOnlyChanges) {
    SettingsStore store = Loaded();
    store.SetSavePath(store.savePath);
    store.SetSaveSamePath(false);
    EXPECT_FALSE(FileExists(config_));

    store.SetSaveSamePath(true);
    store.SetSavePath(L"/data/\u4e2d");
    EXPECT_EQ(store.saveSamePath, 0);
    EXPECT_EQ(ReadFile(config_),
              IniFileText(L"[General]\nSaveSamePath=0\nSavePath=/data/\u4e2d\n"));
}

TEST_F(SettingsStoreTest, AFolderNameWithALineBreakIsUsedButNeverStored) {
    SettingsStore store = Loaded();
    store.SetSaveSamePath(true);
    store.SetSavePath(L"/x\n[Main]\nHasNewInstaller=1");
    EXPECT_EQ(store.savePath, L"/x\n[Main]\nHasNewInstaller=1");
    EXPECT_EQ(ReadFile(config_), IniFileText(L"[General]\nSaveSamePath=0\n"));
}

TEST_F(SettingsStoreTest, DpiByIndexWritesEveryTime) {
    SettingsStore store = Loaded();
    const std::pair<int, int> cases[] = {{0, 72},  {1, 150}, {2, 300},
                                         {1, 150}, {3, 150}, {-1, 150}};
    for (const auto& [index, dpi] : cases) {
        std::filesystem::remove(config_);
        store.SetCompressDpiByIndex(index);
        EXPECT_EQ(store.compressDpi, dpi) << index;
        EXPECT_EQ(ReadFile(config_),
                  IniFileText(L"[General]\nCompressDPI=" + std::to_wstring(dpi) + L"\n"));
    }
}

// The option and its size are two choices: turning the option off keeps the size for the next
// time, and only a size the engine could use is taken from the file.
TEST_F(SettingsStoreTest, TargetSizeIsOnlyInForceWhileItsOptionIsOn) {
    SettingsStore store = Loaded();
    EXPECT_EQ(store.targetBytes, 0u);
    EXPECT_EQ(store.targetSize, 1000000u);
    store.SetTargetSize(5000000);
    EXPECT_EQ(store.targetBytes, 0u);
    store.SetUseTargetSize(true);
    EXPECT_EQ(store.targetBytes, 5000000u);
    store.SetTargetSize(200000);
    EXPECT_EQ(store.targetBytes, 200000u);
    EXPECT_EQ(ReadFile(config_), IniFileText(L"[General]\nTargetSize=200000\nUseTargetSize=1\n"));
    EXPECT_EQ(Loaded().targetBytes, 200000u);
    store.SetUseTargetSize(false);
    EXPECT_EQ(store.targetBytes, 0u);
    EXPECT_EQ(Loaded().targetSize, 200000u);

    for (const auto& [text, expected] : {std::pair{"1000", 1000ull},
                                         {"20000000000", 20000000000ull},
                                         {"999", 1000000ull},
                                         {"-5", 1000000ull},
                                         {"abc", 1000000ull}}) {
        WriteFile(config_, std::string("[General]\nUseTargetSize=1\nTargetSize=") + text + "\n");
        EXPECT_EQ(Loaded().targetBytes, expected) << text;
    }
}

// Sizes are read as upload limits state them; a plain number counts in the caller's unit.
TEST(ParseTargetSizeTest, UnitsLimitsAndWrongText) {
    const std::pair<const char*, std::uint64_t> good[] = {
        {"1048576", 1048576},  {"500K", 500000}, {"2M", 2000000},    {"2.5MB", 2500000},
        {" 3.5 mb ", 3500000}, {"1kb", 1000},    {"1G", 1000000000}, {"0.75M", 750000}};
    for (const auto& [text, bytes] : good)
        EXPECT_EQ(ParseTargetSize(text), bytes) << text;
    EXPECT_EQ(ParseTargetSize("3.5", 1000000), 3500000u);
    EXPECT_EQ(ParseTargetSize("800 KB", 1000000), 800000u);
    for (const char* wrong :
         {"", "12Q", "0.5K", "999", "-3M", "M", "1,5M", "1e16", "nan", "inf", "2 M B", "5MBB"})
        EXPECT_FALSE(ParseTargetSize(wrong)) << wrong;
}

TEST_F(SettingsStoreTest, InstallerIsReadyOnlyWithMarkAndFileReadAnewEachTime) {
    SettingsStore store = Loaded();
    const std::string installer = NativeSeparators(TestAppData() + "/Brindle/OstrelSetup.exe");
    EXPECT_FALSE(store.IsInstallerReady());
    store.MarkInstallerReady();
    EXPECT_EQ(ReadFile(config_), IniFileText(L"[Main]\nHasNewInstaller=1\n"));
    EXPECT_FALSE(store.IsInstallerReady());
    WriteFile(installer, "MZ");
    EXPECT_TRUE(store.IsInstallerReady());
    WriteFile(config_, "[Main]\nHasNewInstaller=0\n");
    EXPECT_FALSE(store.IsInstallerReady());
    std::filesystem::remove(installer);
}

TEST_F(SettingsStoreTest, PartnerFileBesideTheProgram) {
    const std::string oem = platform::WideToUtf8(GetAppPaths().programDir + L"/oem.ini");
    ASSERT_FALSE(FileExists(oem)) << "a partner file is already beside the test program";
    LoadPartnerInfo();
    EXPECT_EQ(GetPartnerInfo().Id, L"0");
    EXPECT_EQ(GetPartnerInfo().Toolbox, L"");
    EXPECT_EQ(GetPartnerInfo().HideCompanyInfo, 0);

    WriteFile(oem,
              IniFileText(L"[partner]\r\nID=1234\r\nToolbox=key\u00e9\r\nHideCompanyInfo=1\r\n"));
    LoadPartnerInfo();
    std::filesystem::remove(oem);
    EXPECT_EQ(GetPartnerInfo().Id, L"1234");
    EXPECT_EQ(GetPartnerInfo().Toolbox, L"key\u00e9");
    EXPECT_EQ(GetPartnerInfo().HideCompanyInfo, 1);
}

}  // namespace
