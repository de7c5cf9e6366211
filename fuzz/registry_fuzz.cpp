// The registry store on any hive file: a read gives the stored type and bytes, or an error,
// and never writes past the caller's buffer; a value that was read, or any data written, reads
// back unchanged; a delete removes just that value.
// Input: key, value name, type and data to write (type in the first byte), then the hive file.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {

struct Stored {
    LSTATUS status;
    DWORD type = REG_NONE;
    std::vector<unsigned char> bytes;
};

// Asks for the size first, then reads into a buffer of exactly that size with a guard after it.
Stored ReadValue(const std::wstring& key, const std::wstring& value) {
    Stored stored;
    DWORD size = 0;
    stored.status =
        SHGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), &stored.type, nullptr, &size);
    if (stored.status != ERROR_SUCCESS)
        return stored;
    if (size > 0) {
        DWORD small = size - 1;
        std::vector<unsigned char> tooSmall(size, 0xA5);
        fuzz::Check(SHGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), nullptr,
                                tooSmall.data(), &small) == ERROR_MORE_DATA &&
                        small == size,
                    "a small buffer does not give ERROR_MORE_DATA and the size");
        fuzz::Check(tooSmall.back() == 0xA5, "a read wrote past a small buffer");
    }
    std::vector<unsigned char> buffer(size + 8, 0xA5);
    DWORD got = size;
    stored.status = SHGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), &stored.type,
                                buffer.data(), &got);
    fuzz::Check(stored.status == ERROR_SUCCESS && got == size, "a value changed between reads");
    for (size_t i = size; i < buffer.size(); ++i)
        fuzz::Check(buffer[i] == 0xA5, "a read wrote past its buffer");
    stored.bytes.assign(buffer.begin(), buffer.begin() + size);
    return stored;
}

void CheckWriteReadsBack(const std::wstring& key, const std::wstring& value, DWORD type,
                         const std::vector<unsigned char>& bytes) {
    if (SHSetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), type, bytes.data(),
                    static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS)
        return;
    const Stored back = ReadValue(key, value);
    fuzz::Check(back.status == ERROR_SUCCESS, "a written value cannot be read");
    fuzz::Check(back.type == type && back.bytes == bytes, "a written value reads back changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = fuzz::SplitFields(data, size, 4);
    const std::wstring key = platform::Utf8ToWide(fields[0]);
    const std::wstring value = platform::Utf8ToWide(fields[1]);
    const std::wstring hive = fuzz::WriteScratch("fuzz.reg", fields[3]);
    ::setenv("BRINDLE_USER_REGISTRY", platform::WideToUtf8(hive).c_str(), 1);

    const Stored stored = ReadValue(key, value);
    if (stored.status == ERROR_SUCCESS)
        CheckWriteReadsBack(key, L"Copy", stored.type, stored.bytes);

    const std::string_view written = fields[2];
    const DWORD type = written.empty() ? REG_SZ : static_cast<unsigned char>(written[0]) % 5;
    const std::vector<unsigned char> bytes(written.begin() + (written.empty() ? 0 : 1),
                                           written.end());
    CheckWriteReadsBack(key, value, type, bytes);

    const Stored copyBefore = ReadValue(key, L"Copy");
    if (SHDeleteValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str()) == ERROR_SUCCESS) {
        fuzz::Check(ReadValue(key, value).status != ERROR_SUCCESS, "a deleted value still reads");
        if (!platform::EqualsNoCase(value, L"Copy")) {
            const Stored copyAfter = ReadValue(key, L"Copy");
            fuzz::Check(
                copyAfter.status == copyBefore.status && copyAfter.bytes == copyBefore.bytes,
                "a delete changed another value");
        }
    }
    return 0;
}
