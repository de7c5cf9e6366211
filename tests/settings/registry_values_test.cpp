#include <gtest/gtest.h>

#include "platform/registry.h"
#include "settings/settings.h"

namespace {

void SetText(HKEY hive, const wchar_t* name, const std::wstring& text) {
    SHSetValueW(hive, kRegistryKey, name, REG_SZ, text.c_str(),
                static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

bool HasValue(HKEY hive, const wchar_t* name) {
    return SHGetValueW(hive, kRegistryKey, name, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

class RegistryValuesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"AdId");
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kRegistryKey, L"InstallerName");
    }
};

TEST_F(RegistryValuesTest, AdIdDerivedFromTheInstallerNameIsStoredOnce) {
    SetText(HKEY_LOCAL_MACHINE, L"InstallerName", L"/opt/dl/BrindleSetup-123.exe");
    EXPECT_EQ(ResolveAdId(false), L"");
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, L"AdId"));
    EXPECT_EQ(ResolveAdId(true), L"123");
    SetText(HKEY_LOCAL_MACHINE, L"InstallerName", L"BrindleSetup-999.exe");
    EXPECT_EQ(ResolveAdId(true), L"123");  // the stored value wins from now on
    EXPECT_EQ(ResolveAdId(false), L"123");
}

TEST_F(RegistryValuesTest, AdIdCandidates) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"BrindleSetup_0.exe", L""},
        {L"Setup_a_5.exe", L""},
        {L"Setup_.exe", L""},
        {L"Setup.exe", L""},
        {L"Setup_-7.exe", L""},
        {L"Setup-12abc.exe", L"12abc"},
        {L"Setup_77-3.exe", L"77-3"},
        {L"Setup_ 8.exe", L" 8"},
        {L"Setup_99999999999999999999.exe", L"99999999999999999999"},
    };
    for (const auto& [installer, expected] : cases) {
        SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"AdId");
        SetText(HKEY_LOCAL_MACHINE, L"InstallerName", installer);
        EXPECT_EQ(ResolveAdId(true), expected) << installer;
        EXPECT_EQ(HasValue(HKEY_CURRENT_USER, L"AdId"), *expected != L'\0') << installer;
    }
}

TEST_F(RegistryValuesTest, AStoredEmptyAdIdIsAnAnswer) {
    SetText(HKEY_CURRENT_USER, L"AdId", L"");
    SetText(HKEY_LOCAL_MACHINE, L"InstallerName", L"Setup-5.exe");
    EXPECT_EQ(ResolveAdId(true), L"");
    EXPECT_EQ(ResolveAdId(false), L"");
}

TEST_F(RegistryValuesTest, NoInstallerNameGivesNothing) {
    EXPECT_EQ(ResolveAdId(true), L"");
}

TEST(RegistryValues, VersionAndInstallMarker) {
    SHDeleteValueW(HKEY_LOCAL_MACHINE, kRegistryKey, L"Version");
    EXPECT_EQ(GetInstalledVersion(), L"");
    SetText(HKEY_LOCAL_MACHINE, L"Version", L"2.1.0");
    EXPECT_EQ(GetInstalledVersion(), L"2.1.0");

    EXPECT_FALSE(HasInstallReportMarker());
    const DWORD one = 1;
    SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"SendInstallMessage", REG_DWORD, &one, 4);
    EXPECT_TRUE(HasInstallReportMarker());
    ClearInstallReportMarker();
    EXPECT_FALSE(HasInstallReportMarker());
}

}  // namespace
