#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "app/system_info.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace {

TEST(SystemInfo, Md5MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(SystemInfo, WindowsVersionsMapToTheirNames) {
    EXPECT_STREQ(WindowsVersionName(5, 0), L"Windows2000");
    EXPECT_STREQ(WindowsVersionName(5, 1), L"WindowsXP");
    EXPECT_STREQ(WindowsVersionName(5, 2), L"Windows2003");
    EXPECT_STREQ(WindowsVersionName(6, 0), L"Vista");
    EXPECT_STREQ(WindowsVersionName(6, 1), L"Windows7");
    EXPECT_STREQ(WindowsVersionName(6, 2), L"Windows8");
    EXPECT_STREQ(WindowsVersionName(6, 3), L"Windows8.1");  // also Server 2012 R2
    EXPECT_STREQ(WindowsVersionName(10, 0), L"windows10");  // also Windows 11
    EXPECT_EQ(WindowsVersionName(6, 4), nullptr);
    EXPECT_EQ(WindowsVersionName(4, 0), nullptr);
    EXPECT_EQ(WindowsVersionName(11, 0), nullptr);
}

#ifndef _WIN32
TEST(SystemInfo, OsReleasePrettyNameIsUnquoted) {
    EXPECT_EQ(platform::ParseOsPrettyName("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                                          "(bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(platform::ParseOsPrettyName("PRETTY_NAME='Some \"Linux\"'\n"), "Some \"Linux\"");
    EXPECT_EQ(platform::ParseOsPrettyName("PRETTY_NAME=\"A \\\"quoted\\\" name\""),
              "A \"quoted\" name");
    EXPECT_EQ(platform::ParseOsPrettyName("PRETTY_NAME=Bare\n"), "Bare");
    EXPECT_EQ(platform::ParseOsPrettyName("NAME=Debian\n"), "");
}
#else
TEST(SystemInfo, WindowsNamesItsVersionFromTheTable) {
    DWORD major = 0, minor = 0;
    ASSERT_TRUE(platform::GetWindowsVersion(&major, &minor));
    wchar_t name[260] = {};
    ASSERT_EQ(GetOsName(name, 260), WindowsVersionName(major, minor) != nullptr);
    if (WindowsVersionName(major, minor)) {
        EXPECT_STREQ(name, WindowsVersionName(major, minor));
    }
    // A 32-bit build learns of a 64-bit system through WOW64.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    EXPECT_EQ(IsWow64(), sizeof(void*) == 8 || wow64);
}
#endif

TEST(SystemInfo, IdentifySerialTakesWords10To19HighByteFirst) {
    platform::IdentifyWords words{};
    words[9] = 0x5858;  // outside the serial
    const char serial[] = "WD-WCC4N1234567     ";
    for (int i = 0; i < 10; ++i)
        words[10 + i] = static_cast<std::uint16_t>((serial[2 * i] << 8) | serial[2 * i + 1]);
    EXPECT_EQ(IdentifySerial(words), "WD-WCC4N1234567");
}

TEST(SystemInfo, MachineCodeIsStableUpperCaseHexAndCutToTheBuffer) {
    wchar_t first[256] = {};
    wchar_t second[256] = {};
    ASSERT_TRUE(ComputeMachineHash(first, 256));
    ASSERT_TRUE(ComputeMachineHash(second, 256));
    const std::wstring code = first;
    EXPECT_EQ(code, second);
    ASSERT_EQ(code.size(), 32u);
    for (wchar_t c : code)
        EXPECT_TRUE(std::iswdigit(c) || (c >= L'A' && c <= L'F')) << code;

    wchar_t shortBuffer[10] = {};
    EXPECT_TRUE(ComputeMachineHash(shortBuffer, 10));
    EXPECT_EQ(std::wstring(shortBuffer), code.substr(0, 9));
}

class Uid : public ::testing::Test {
  protected:
    void SetUp() override { SHDeleteValueW(HKEY_CURRENT_USER, kRegistryKey, L"uid"); }
    static void Store(const std::wstring& text) {
        SHSetValueW(HKEY_CURRENT_USER, kRegistryKey, L"uid", REG_SZ, text.c_str(),
                    static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    }
    static std::wstring Stored() {
        wchar_t buffer[MAX_PATH] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        DWORD type = REG_NONE;
        if (SHGetValueW(HKEY_CURRENT_USER, kRegistryKey, L"uid", &type, buffer, &size) !=
            ERROR_SUCCESS)
            return L"<missing>";
        EXPECT_EQ(type, REG_SZ);
        return std::wstring(buffer, size / sizeof(wchar_t));
    }
};

TEST_F(Uid, AStoredSixteenCharacterValueIsUsedUnchecked) {
    Store(L"not-hex-at-all!!");
    EXPECT_EQ(LoadUid(), L"not-hex-at-all!!");
}

TEST_F(Uid, AStoredValueOfAnotherLengthGivesNoIdentifierAndStays) {
    Store(L"0123456789ABCDE");
    EXPECT_EQ(LoadUid(), L"");
    EXPECT_EQ(Stored(), L"0123456789ABCDE");
}

TEST_F(Uid, AMissingValueIsCutFromTheMachineCodeAndKept) {
    wchar_t machineCode[256] = {};
    ASSERT_TRUE(ComputeMachineHash(machineCode, 256));

    const std::wstring uid = LoadUid();
    EXPECT_EQ(uid, std::wstring(machineCode).substr(8, 16));
    EXPECT_EQ(Stored(), uid);
    EXPECT_EQ(LoadUid(), uid);
}

}  // namespace
