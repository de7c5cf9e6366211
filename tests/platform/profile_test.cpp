#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile.h"
#include "tests/support/temp_dir.h"

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class ProfileTest : public ::testing::Test {
  protected:
    std::wstring Read(const wchar_t* section, const wchar_t* key, const wchar_t* def = L"-") {
        wchar_t buffer[64];
        GetPrivateProfileStringW(section, key, def, buffer, 64, ini_.c_str());
        return buffer;
    }
    UINT ReadInt(const wchar_t* key, int def = 7) {
        return GetPrivateProfileIntW(L"S", key, def, ini_.c_str());
    }
    TempDir dir_;
    std::string file_ = dir_.File("config.ini");
    std::wstring ini_ = dir_.WFile(L"config.ini");
};

TEST_F(ProfileTest, SectionsAndKeysIgnoreCaseAndTheFirstMatchWins) {
    WriteFile(file_,
              "[General]\nSavePath = /first \nsavepath=/second\n[GENERAL]\nCanUpdate=0\n"
              "[Other]\nSavePath=/other\n");
    EXPECT_EQ(Read(L"general", L"SAVEPATH"), L"/first");
    EXPECT_EQ(Read(L"General", L"CanUpdate"), L"-");  // only the first [General] counts
    EXPECT_EQ(Read(L"Other", L"savepath"), L"/other");
    EXPECT_EQ(Read(L"Missing", L"SavePath", L"dflt  "), L"dflt");
}

TEST_F(ProfileTest, FirstWriteCreatesTheFileButNotItsFolder) {
    EXPECT_EQ(Read(L"General", L"SavePath"), L"-");
    EXPECT_FALSE(FileExists(file_));
    EXPECT_TRUE(WritePrivateProfileStringW(L"General", L"CompressDPI", L"150", ini_.c_str()));
    EXPECT_EQ(ReadFile(file_), "[General]\nCompressDPI=150\n");
    const std::wstring deeper = dir_.WFile(L"no-such-folder/config.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(L"General", L"A", L"1", deeper.c_str()));
    EXPECT_FALSE(FileExists(dir_.File("no-such-folder")));
}

TEST_F(ProfileTest, RewriteKeepsEveryOtherLineAndLeavesNoTemporaryFile) {
    // Bytes that are not UTF-8 (a folder typed in another encoding) stay as they were.
    WriteFile(file_,
              "; comment\n[General]\ngarbage line\nSavePath=/a\n\n[Main]\nX=Donn\xE9"
              "es\n");
    EXPECT_TRUE(WritePrivateProfileStringW(L"general", L"savepath", L"/b", ini_.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"General", L"CompressDPI", L"72", ini_.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"New", L"K", L"v", ini_.c_str()));
    EXPECT_EQ(
        ReadFile(file_),
        "; comment\n[General]\ngarbage line\nsavepath=/b\nCompressDPI=72\n\n[Main]\nX=Donn\xE9"
        "es\n"
        "[New]\nK=v\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(ProfileTest, DeletesKeysAndSections) {
    // A key written twice by hand is gone after one delete, not replaced by its second entry.
    WriteFile(file_, "[A]\nk=1\nj=2\nK=again\n[B]\nk=3\n");
    EXPECT_TRUE(WritePrivateProfileStringW(L"A", L"k", nullptr, ini_.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"B", nullptr, nullptr, ini_.c_str()));
    EXPECT_EQ(ReadFile(file_), "[A]\nj=2\n");
}

TEST_F(ProfileTest, CrlfFilesStayCrlfAndAMissingFinalNewlineIsRead) {
    WriteFile(file_, "[General]\r\nSavePath=/x\r\nCanUpdate=0");
    EXPECT_EQ(Read(L"General", L"SavePath"), L"/x");
    EXPECT_EQ(GetPrivateProfileIntW(L"General", L"CanUpdate", 1, ini_.c_str()), 0u);
    EXPECT_TRUE(WritePrivateProfileStringW(L"General", L"SavePath", L"/y", ini_.c_str()));
    EXPECT_EQ(ReadFile(file_), "[General]\r\nSavePath=/y\r\nCanUpdate=0\r\n");
}

TEST_F(ProfileTest, IntegersAreReadAsWindowsReadsThem) {
    WriteFile(file_, "[S]\nplain=300\nneg=-5\ntail=96dpi\nword=abc\nempty=\nhuge=99999999999\n");
    EXPECT_EQ(ReadInt(L"plain"), 300u);
    EXPECT_EQ(static_cast<int>(ReadInt(L"neg")), -5);
    EXPECT_EQ(ReadInt(L"tail"), 96u);
    EXPECT_EQ(ReadInt(L"word"), 0u);
    EXPECT_EQ(ReadInt(L"empty"), 7u);
    EXPECT_EQ(ReadInt(L"missing"), 7u);
    EXPECT_EQ(ReadInt(L"huge"), static_cast<UINT>(99999999999ull & 0xFFFFFFFFu));
}

TEST_F(ProfileTest, TextIsCutToTheBufferUnquotedAndKeepsUnicode) {
    WriteFile(file_, "[S]\nq=\"/a b\"\nzh=/\xe6\xa1\x8c\xe9\x9d\xa2\n");
    EXPECT_EQ(Read(L"S", L"q"), L"/a b");
    EXPECT_EQ(Read(L"S", L"zh"), L"/\u684c\u9762");
    wchar_t small[4];
    EXPECT_EQ(GetPrivateProfileStringW(L"S", L"q", L"", small, 4, ini_.c_str()), 3u);
    EXPECT_STREQ(small, L"/a ");
}

TEST_F(ProfileTest, TextWithALineBreakIsRefusedAndCannotForgeLines) {
    WriteFile(file_, "[General]\nSavePath=/a\n");
    EXPECT_FALSE(WritePrivateProfileStringW(L"General", L"SavePath",
                                            L"/x\n[Main]\nHasNewInstaller=1", ini_.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringW(L"General", L"Save\rPath", L"1", ini_.c_str()));
    EXPECT_EQ(ReadFile(file_), "[General]\nSavePath=/a\n");
}

}  // namespace
