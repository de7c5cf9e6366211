#include <gtest/gtest.h>

#include <filesystem>

#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::NativeSeparators;
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
    const auto n = [](const wchar_t* path) { return NativeSeparators(path); };
    EXPECT_EQ(RemoveFileSpec(n(L"/home/u/a.pdf")), n(L"/home/u"));
    EXPECT_EQ(RemoveFileSpec(n(L"/a.pdf")), n(L"/"));
    EXPECT_EQ(RemoveFileSpec(L"a.pdf"), L"");
    EXPECT_STREQ(PathFindFileNameW(n(L"/x/y/Setup_12.exe").c_str()), L"Setup_12.exe");
    EXPECT_STREQ(PathFindExtensionW(n(L"/x.y/name.tar.gz").c_str()), L".gz");
    EXPECT_STREQ(PathFindExtensionW(n(L"/x.y/name").c_str()), L"");
    EXPECT_EQ(RemoveExtension(n(L"/opt/Brindle-123.exe")), n(L"/opt/Brindle-123"));
}

TEST(Path, FullPathAnchorsRelativeNamesAtTheCurrentFolder) {
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.wpath());
    const std::wstring full = platform::FullPath(L"-q.pdf");
    std::filesystem::current_path(previous);
    EXPECT_EQ(full, dir.WFile(L"-q.pdf"));
    EXPECT_EQ(platform::FullPath(NativeSeparators(L"/abs/x.pdf")), NativeSeparators(L"/abs/x.pdf"));
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
