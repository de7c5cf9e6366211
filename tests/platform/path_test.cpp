#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::wstring RemoveFileSpec(std::wstring path) {
    PathRemoveFileSpecW(path.data());
    return path.c_str();
}

std::wstring RemoveExtension(std::wstring path) {
    PathRemoveExtensionW(path.data());
    return path.c_str();
}

TEST(Path, ComponentsAsTheShellHelpersSplitThem) {
    EXPECT_EQ(RemoveFileSpec(L"/home/u/a.pdf"), L"/home/u");
    EXPECT_EQ(RemoveFileSpec(L"/a.pdf"), L"/");
    EXPECT_EQ(RemoveFileSpec(L"a.pdf"), L"");
    EXPECT_STREQ(PathFindFileNameW(L"/x/y/Setup_12.exe"), L"Setup_12.exe");
    EXPECT_STREQ(PathFindExtensionW(L"/x.y/name.tar.gz"), L".gz");
    EXPECT_STREQ(PathFindExtensionW(L"/x.y/name"), L"");
    EXPECT_EQ(RemoveExtension(L"/opt/Brindle-123.exe"), L"/opt/Brindle-123");
}

TEST(Path, FullPathAnchorsRelativeNamesAtTheCurrentFolder) {
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::wstring full = platform::FullPath(L"-q.pdf");
    std::filesystem::current_path(previous);
    EXPECT_EQ(full, dir.wpath() + L"/-q.pdf");
    EXPECT_EQ(platform::FullPath(L"/abs/x.pdf"), L"/abs/x.pdf");
}

TEST(Path, CreateNewFileClaimsOnlyFreeNames) {
    TempDir dir;
    WriteFile(dir.File("taken.pdf"), "keep me");
    EXPECT_EQ(platform::CreateNewFile(dir.WFile(L"taken.pdf")), platform::NewFileResult::Exists);
    EXPECT_EQ(ReadFile(dir.File("taken.pdf")), "keep me");
    EXPECT_EQ(platform::CreateNewFile(dir.WFile(L"free.pdf")), platform::NewFileResult::Created);
    EXPECT_EQ(platform::CreateNewFile(dir.WFile(L"free.pdf")), platform::NewFileResult::Exists);
    EXPECT_EQ(platform::CreateNewFile(dir.WFile(L"missing/x.pdf")),
              platform::NewFileResult::Failed);
}

TEST(Path, WritableFolders) {
    TempDir dir;
    WriteFile(dir.File("file"), "");
    EXPECT_TRUE(platform::IsWritableFolder(dir.wpath()));
    EXPECT_FALSE(platform::IsWritableFolder(dir.WFile(L"file")));
    EXPECT_FALSE(platform::IsWritableFolder(dir.WFile(L"missing")));
    EXPECT_FALSE(platform::IsWritableFolder(L""));
}

}  // namespace
