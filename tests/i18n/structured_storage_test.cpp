// Compound files through the platform layer: what the writer produces reads back, stream names
// ignore case, share modes become locks, commits replace files whole, and damaged structures
// fail cleanly.
#include "platform/structured_storage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/i18n/language_test_support.h"

using testing_support::TempDir;

namespace {

constexpr DWORD kReadShared = STGM_READ | STGM_SHARE_DENY_WRITE;
constexpr DWORD kStreamRead = STGM_READ | STGM_SHARE_EXCLUSIVE;

IStorage* Open(const std::wstring& path, DWORD mode = kReadShared, HRESULT* result = nullptr) {
    IStorage* storage = nullptr;
    const HRESULT hr = StgOpenStorage(path.c_str(), nullptr, mode, nullptr, 0, &storage);
    if (result)
        *result = hr;
    return storage;
}

// The whole stream read in one call into a buffer of the given size; nullopt when it fails.
std::optional<std::string> ReadStream(IStorage* storage, const wchar_t* name, DWORD size) {
    IStream* stream = nullptr;
    if (FAILED(storage->OpenStream(name, nullptr, kStreamRead, 0, &stream)))
        return std::nullopt;
    std::string bytes(size, '\0');
    DWORD read = 0;
    const HRESULT hr = stream->Read(bytes.data(), size, &read);
    stream->Release();
    if (FAILED(hr))
        return std::nullopt;
    bytes.resize(read);
    return bytes;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

}  // namespace

TEST(StructuredStorage, WrittenStreamsReadBackByNameInAnyCase) {
    TempDir dir;
    // Small streams live in the mini stream, large ones in regular sectors.
    const std::string small = Pattern(300), large = Pattern(200000);
    const std::wstring path =
        language_test::WriteFile(dir, {{L"Text", small}, {L"Message", large}, {L"Empty", ""}});
    IStorage* storage = Open(path);
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(ReadStream(storage, L"Text", 4096), small);
    EXPECT_EQ(ReadStream(storage, L"tEXT", 4096), small);
    EXPECT_EQ(ReadStream(storage, L"MESSAGE", 300000), large);
    // One read never goes past the buffer it was given.
    EXPECT_EQ(ReadStream(storage, L"Message", 131072), large.substr(0, 131072));
    EXPECT_EQ(ReadStream(storage, L"Empty", 16), "");

    IStream* stream = nullptr;
    EXPECT_EQ(storage->OpenStream(L"Missing", nullptr, kStreamRead, 0, &stream),
              STG_E_FILENOTFOUND);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(storage->OpenStream(L"Text", nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, 0, &stream),
              STG_E_INVALIDFLAG);
    storage->Release();
}

TEST(StructuredStorage, StreamOutlivesItsStorage) {
    TempDir dir;
    const std::wstring path = language_test::WriteFile(dir, {{L"Text", "hello"}});
    IStorage* storage = Open(path);
    ASSERT_NE(storage, nullptr);
    IStream* stream = nullptr;
    ASSERT_EQ(storage->OpenStream(L"Text", nullptr, kStreamRead, 0, &stream), S_OK);
    storage->Release();
    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
    EXPECT_EQ(std::string(buffer, read), "hello");
    stream->Release();
}

TEST(StructuredStorage, ShareModesBecomeLocks) {
    TempDir dir;
    const std::wstring path = language_test::WriteFile(dir, {{L"Text", "x"}});
    IStorage* reader = Open(path);
    ASSERT_NE(reader, nullptr);
    IStorage* second = Open(path);
    EXPECT_NE(second, nullptr) << "deny-write readers share the file";
    HRESULT hr = S_OK;
    EXPECT_EQ(Open(path, STGM_READ | STGM_SHARE_EXCLUSIVE, &hr), nullptr);
    EXPECT_EQ(hr, STG_E_SHAREVIOLATION);
    reader->Release();
    second->Release();
    IStorage* exclusive = Open(path, STGM_READ | STGM_SHARE_EXCLUSIVE);
    ASSERT_NE(exclusive, nullptr);
    EXPECT_EQ(Open(path, kReadShared, &hr), nullptr);
    EXPECT_EQ(hr, STG_E_SHAREVIOLATION);
    exclusive->Release();
}

TEST(StructuredStorage, CommitReplacesTheFileWholeAndReleaseAloneWritesNothing) {
    TempDir dir;
    const std::wstring path = language_test::WriteFile(dir, {{L"Text", "old"}});
    IStorage* reader = Open(path);
    ASSERT_NE(reader, nullptr);
    ASSERT_FALSE(language_test::WriteFile(dir, {{L"Text", "new"}}).empty());
    // A reader that was open keeps the file it opened.
    EXPECT_EQ(ReadStream(reader, L"Text", 16), "old");
    reader->Release();
    reader = Open(path);
    EXPECT_EQ(ReadStream(reader, L"Text", 16), "new");
    reader->Release();

    IStorage* writer = nullptr;
    ASSERT_EQ(
        StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &writer),
        S_OK);
    IStream* stream = nullptr;
    ASSERT_EQ(writer->CreateStream(L"Text", STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream),
              S_OK);
    stream->Write("abandoned", 9, nullptr);
    stream->Release();
    writer->Release();
    reader = Open(path);
    EXPECT_EQ(ReadStream(reader, L"Text", 16), "new");
    reader->Release();

    EXPECT_EQ(StgCreateDocfile(path.c_str(), STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &writer),
              STG_E_FILEALREADYEXISTS);
}

TEST(StructuredStorage, StreamNamesFollowTheCompoundFileRules) {
    TempDir dir;
    IStorage* writer = nullptr;
    ASSERT_EQ(StgCreateDocfile(dir.WFile(L"names.dat").c_str(),
                               STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, &writer),
              S_OK);
    IStream* stream = nullptr;
    const DWORD mode = STGM_WRITE | STGM_SHARE_EXCLUSIVE;
    for (const wchar_t* bad :
         {L"", L"a/b", L"a\\b", L"a:b", L"a!b", L"abcdefghijklmnopqrstuvwxyz012345"}) {
        EXPECT_EQ(writer->CreateStream(bad, mode, 0, 0, &stream), STG_E_INVALIDNAME) << bad;
    }
    ASSERT_EQ(writer->CreateStream(L"abcdefghijklmnopqrstuvwxyz01234", mode, 0, 0, &stream), S_OK);
    stream->Release();
    ASSERT_EQ(writer->CreateStream(L"Text", mode, 0, 0, &stream), S_OK);
    stream->Release();
    EXPECT_EQ(writer->CreateStream(L"TEXT", mode, 0, 0, &stream), STG_E_FILEALREADYEXISTS);
    writer->Release();
}

TEST(StructuredStorage, DamagedStructuresFailCleanly) {
    TempDir dir;
    const std::wstring path =
        language_test::WriteFile(dir, {{L"Message", Pattern(600)}, {L"Text", Pattern(300)}});
    const std::string good = testing_support::ReadFile(dir.File("lang.dat"));
    ASSERT_GE(good.size(), 1536u);
    const auto word = [&](size_t offset) {
        uint32_t v;
        std::memcpy(&v, good.data() + offset, 4);
        return v;
    };
    const size_t dirSector = 512 + 512 * word(0x30);
    const size_t fatSector = 512 + 512 * word(0x4C);
    const auto patched = [&](size_t offset, uint32_t value) {
        std::string bytes = good;
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    const std::string variants[] = {
        good.substr(0, 511),
        good.substr(0, 512),
        good.substr(0, good.size() / 2),
        good.substr(0, good.size() - 1),
        patched(0x1E, 0x0010),               // sector shift of 64 KiB
        patched(0x2C, 0x7FFFFFFF),           // absurd FAT sector count
        patched(dirSector + 128 + 0x44, 2),  // siblings pointing at each other
        patched(dirSector + 256 + 0x44, 1),
        patched(dirSector + 128 + 0x4C, 0),               // a stream whose child is the root
        patched(dirSector + 0x4C, 0),                     // the root its own child
        patched(fatSector + 4 * word(0x30), word(0x30)),  // directory chain loops on itself
        patched(fatSector, 0),                            // first sector chain loops
        patched(dirSector + 128 + 0x78, 0x7FFFFFFF),      // stream larger than the file
    };
    language_test::StderrCapture stderrCapture;
    for (size_t i = 0; i < std::size(variants); ++i) {
        testing_support::WriteFile(dir.File("damaged.dat"), variants[i]);
        IStorage* storage = Open(dir.WFile(L"damaged.dat"));
        // A truncated file never opens; the other damage may or may not be noticed at once.
        if (i < 4) {
            EXPECT_EQ(storage, nullptr) << "truncated variant " << i;
        }
        if (!storage)
            continue;
        for (const wchar_t* name : {L"Text", L"Message"})
            ReadStream(storage, name, 131072);
        storage->Release();
    }
    EXPECT_EQ(stderrCapture.Finish(), "");
}
