// Compound files through the platform layer: what the writer produces reads back, share modes
// become locks, commits replace files whole, and damaged structures fail without a sound.
#include "platform/structured_storage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "tests/i18n/language_test_support.h"

using testing_support::TempDir;

namespace {

IStorage* Open(const std::wstring& path, DWORD share = STGM_SHARE_DENY_WRITE,
               HRESULT* result = nullptr) {
    IStorage* storage = nullptr;
    const HRESULT hr =
        StgOpenStorage(path.c_str(), nullptr, STGM_READ | share, nullptr, 0, &storage);
    if (result)
        *result = hr;
    return storage;
}

IStream* OpenStream(IStorage* storage, const wchar_t* name) {
    IStream* stream = nullptr;
    storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    return stream;
}

// One read of at most `size` bytes, as the language reader does it.
std::optional<std::string> ReadOnce(IStream* stream, DWORD size) {
    if (!stream)
        return std::nullopt;
    std::string bytes(size, '\0');
    DWORD read = 0;
    const HRESULT hr = stream->Read(bytes.data(), size, &read);
    stream->Release();
    if (FAILED(hr))
        return std::nullopt;
    return bytes.substr(0, read);
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
    IStorage* storage =
        Open(language_test::WriteFile(dir, {{L"Text", small}, {L"Message", large}}));
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(ReadOnce(OpenStream(storage, L"tEXT"), 4096), small);
    EXPECT_EQ(ReadOnce(OpenStream(storage, L"Message"), 131072), large.substr(0, 131072));
    EXPECT_EQ(OpenStream(storage, L"Missing"), nullptr);
    IStream* stream = OpenStream(storage, L"MESSAGE");
    storage->Release();
#ifdef _WIN32
    // Windows reverts the open streams of a storage that is released.
    EXPECT_EQ(ReadOnce(stream, 300000), std::nullopt);
#else
    // A stream stays readable after its storage is released.
    EXPECT_EQ(ReadOnce(stream, 300000), large);
#endif
}

TEST(StructuredStorage, ShareModesBecomeLocksAndCommitsReplaceFilesWhole) {
    TempDir dir;
    const std::wstring path = language_test::WriteFile(dir, {{L"Text", "old"}});
    IStorage* reader = Open(path);
    IStorage* second = Open(path);
    ASSERT_NE(reader, nullptr);
    EXPECT_NE(second, nullptr) << "deny-write readers share the file";
    second->Release();
    HRESULT hr = S_OK;
    EXPECT_EQ(Open(path, STGM_SHARE_EXCLUSIVE, &hr), nullptr);
#ifdef _WIN32
    // Windows' own compound files lock byte ranges as well as sharing the file.
    EXPECT_TRUE(hr == STG_E_SHAREVIOLATION || hr == STG_E_LOCKVIOLATION) << std::hex << hr;
    // A file open for reading cannot be written, let alone replaced, until the reader is done.
    EXPECT_EQ(language_test::WriteFile(dir, {{L"Text", "new"}}), L"");
    EXPECT_EQ(ReadOnce(OpenStream(reader, L"Text"), 16), "old");
    reader->Release();
    ASSERT_EQ(language_test::WriteFile(dir, {{L"Text", "new"}}), path);
#else
    EXPECT_EQ(hr, STG_E_SHAREVIOLATION);
    // Writing goes to a new file renamed into place: an open reader keeps the file it opened.
    ASSERT_EQ(language_test::WriteFile(dir, {{L"Text", "new"}}), path);
    EXPECT_EQ(ReadOnce(OpenStream(reader, L"Text"), 16), "old");
    reader->Release();
#endif
    reader = Open(path, STGM_SHARE_EXCLUSIVE);
    EXPECT_EQ(ReadOnce(OpenStream(reader, L"Text"), 16), "new");
    reader->Release();
}

TEST(StructuredStorage, DamagedStructuresFailSilently) {
    TempDir dir;
    language_test::WriteFile(dir, {{L"Message", Pattern(600)}, {L"Text", Pattern(300)}});
    const std::string good = testing_support::ReadFile(dir.File("lang.dat"));
    ASSERT_EQ(good.size(), 3072u);
    const auto word = [&](size_t offset) {
        uint32_t v;
        std::memcpy(&v, good.data() + offset, 4);
        return v;
    };
    const auto patched = [&](size_t offset, uint32_t value) {
        std::string bytes = good;
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    const size_t directory = 512 + 512 * word(0x30), fat = 512 + 512 * word(0x4C);
    const std::string variants[] = {
        // These must not open: truncated files, 64 KiB sectors, a root entry with a sibling.
        good.substr(0, 511), good.substr(0, 512), good.substr(0, 1536), good.substr(0, 3071),
        patched(0x1E, 0x0010), patched(directory + 0x44, 1),
        // These may open, but reading them must end cleanly.
        patched(0x2C, 0x7FFFFFFF),                    // absurd table sector count
        patched(directory + 128 + 0x44, 2),           // siblings pointing at each other
        patched(directory + 0x4C, 0),                 // the root its own child
        patched(fat + 4 * word(0x30), word(0x30)),    // directory chain looping on itself
        patched(directory + 128 + 0x78, 0x7FFFFFFF),  // stream larger than the file
    };
    language_test::StderrCapture stderrCapture;
    for (size_t i = 0; i < std::size(variants); ++i) {
        testing_support::WriteFile(dir.File("damaged.dat"), variants[i]);
        IStorage* storage = Open(dir.WFile(L"damaged.dat"));
#ifndef _WIN32
        // On Windows the system's reader decides which of them open.
        EXPECT_TRUE(i >= 6 || !storage) << "variant " << i;
#endif
        if (!storage)
            continue;
        for (const wchar_t* name : {L"Text", L"Message"})
            ReadOnce(OpenStream(storage, name), 131072);
        storage->Release();
    }
    EXPECT_EQ(stderrCapture.Finish(), "");
}
