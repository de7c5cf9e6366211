#include <gtest/gtest.h>

#include <cstring>

#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const wchar_t* kKey = L"Software\\Brindle";

LSTATUS SetText(HKEY hive, const wchar_t* name, const std::wstring& text) {
    return SHSetValueW(hive, kKey, name, REG_SZ, text.c_str(),
                       static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

TEST(Registry, TextRoundTripsWithoutAStoredTerminator) {
    const std::wstring text = L"a \"quoted\" \\ path\t\u4e2d\n";
    ASSERT_EQ(SetText(HKEY_CURRENT_USER, L"AdId", text), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"adid", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, text.size() * sizeof(wchar_t));

    wchar_t buffer[64];
    std::memset(buffer, 0xFF, sizeof buffer);
    size = sizeof buffer;
    ASSERT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"AdId", &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, text.size() * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(buffer), text);  // terminated because the buffer had room
}

TEST(Registry, DwordRoundTripsAndAMissingValueLeavesTheBufferAlone) {
    const DWORD day = 31;
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, kKey, L"UpdateDay", REG_DWORD, &day, 4),
              ERROR_SUCCESS);
    DWORD read = 0, type = 0, size = 4;
    ASSERT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"UpdateDay", &type, &read, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(read, 31u);

    DWORD missing = 0;
    size = 4;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"ToolboxCount", nullptr, &missing, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(SHSetValueW(HKEY_CURRENT_USER, kKey, L"Bad", REG_DWORD, &day, 2),
              ERROR_INVALID_PARAMETER);
}

TEST(Registry, BufferTooSmallReportsTheSizeNeeded) {
    ASSERT_EQ(SetText(HKEY_CURRENT_USER, L"uid", L"0123456789abcdef"), ERROR_SUCCESS);
    wchar_t buffer[4] = {};
    DWORD size = sizeof buffer;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"uid", nullptr, buffer, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 16 * sizeof(wchar_t));
}

TEST(Registry, DeleteRemovesOnlyThatValue) {
    const DWORD one = 1;
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, kKey, L"SendInstallMessage", REG_DWORD, &one, 4),
              ERROR_SUCCESS);
    ASSERT_EQ(SetText(HKEY_CURRENT_USER, L"Keep", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteValueW(HKEY_CURRENT_USER, kKey, L"sendinstallmessage"), ERROR_SUCCESS);
    EXPECT_EQ(
        SHGetValueW(HKEY_CURRENT_USER, kKey, L"SendInstallMessage", nullptr, nullptr, nullptr),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHDeleteValueW(HKEY_CURRENT_USER, kKey, L"SendInstallMessage"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"Keep", nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

#ifndef _WIN32
TEST(Registry, HivesAreSeparateFilesAndTheUserHiveMakesItsFolders) {
    ASSERT_EQ(SetText(HKEY_LOCAL_MACHINE, L"Version", L"1.0.0"), ERROR_SUCCESS);
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"Version", nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::HiveFile(HKEY_LOCAL_MACHINE),
              platform::Utf8ToWide(testing_support::TestHome() + "/machine.reg"));

    testing_support::TempDir dir;
    const std::string hive = dir.File("deep/er/user.reg");
    ::setenv("BRINDLE_USER_REGISTRY", hive.c_str(), 1);
    const LSTATUS status = SetText(HKEY_CURRENT_USER, L"AdId", L"7");
    ::unsetenv("BRINDLE_USER_REGISTRY");
    EXPECT_EQ(status, ERROR_SUCCESS);
    EXPECT_TRUE(testing_support::FileExists(hive));
}

TEST(Registry, DataThatIsNoWholeTextStillRoundTrips) {
    const unsigned char odd[] = {'a', 'b', 'c'};
    const wchar_t surrogate[] = {L'x', static_cast<wchar_t>(0xD800)};
    for (const auto& [data, size] : {std::pair<const void*, DWORD>{odd, 3},
                                     std::pair<const void*, DWORD>{surrogate, sizeof surrogate}}) {
        ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, kKey, L"Odd", REG_SZ, data, size), ERROR_SUCCESS);
        unsigned char read[16] = {};
        DWORD type = 0, got = sizeof read;
        ASSERT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"Odd", &type, read, &got), ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        ASSERT_EQ(got, size);
        EXPECT_EQ(std::memcmp(read, data, size), 0);
    }
}

TEST(Registry, NamesTheFileCannotHoldAreRefused) {
    for (const wchar_t* name : {L"", L"a=b", L"a\nForged", L" padded", L"[x"})
        EXPECT_EQ(SetText(HKEY_CURRENT_USER, name, L"1"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SHSetValueW(HKEY_CURRENT_USER, L"a]b", L"v", REG_SZ, L"1", 4),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, L"Forged", nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
}

TEST(Registry, DamagedHiveLinesReadAsMissing) {
    testing_support::TempDir dir;
    const std::string hive = dir.File("user.reg");
    testing_support::WriteFile(hive,
                               "[Software\\Brindle]\nA=sz:\"unterminated\nB=hex(3):zz\nC=what\n"
                               "D=sz:\"bad \\xZ1 escape\"\nE=sz:\"cut \\x\"\n");
    ::setenv("BRINDLE_USER_REGISTRY", hive.c_str(), 1);
    for (const wchar_t* name : {L"A", L"B", L"C", L"D", L"E"}) {
        EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, kKey, name, nullptr, nullptr, nullptr),
                  ERROR_FILE_NOT_FOUND);
    }
    ::unsetenv("BRINDLE_USER_REGISTRY");
}
#else
TEST(Registry, ValuesAreTheSystemRegistrysOwn) {
    ASSERT_EQ(SetText(HKEY_CURRENT_USER, L"AdId", L"7"), ERROR_SUCCESS);
    wchar_t text[8] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey, L"AdId", RRF_RT_REG_SZ, nullptr, text, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"7");
    EXPECT_EQ(SHGetValueW(HKEY_LOCAL_MACHINE, kKey, L"AdId", nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
}
#endif

}  // namespace
