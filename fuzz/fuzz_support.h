// What the fuzz targets share: a private home folder, scratch files in it, and inputs cut into
// fields. A target's input fields are separated by NUL bytes, so libFuzzer's mutations and the
// dictionaries work on each field as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The temporary home of this process, made on first use and removed at exit. HOME, the XDG
// folders and the machine registry point into it, as in every test process.
const std::string& Home();

// Writes bytes to <home>/<name> and returns the file's path.
std::wstring WriteScratch(const std::string& name, std::string_view bytes);

// Up to count fields, split at the first count - 1 NUL bytes; the last field keeps the rest
// (NUL bytes included). Missing fields are empty.
std::vector<std::string_view> SplitFields(const uint8_t* data, size_t size, size_t count);

// A fatal finding in a property the target checks: prints what went wrong and aborts, so
// libFuzzer keeps the input.
[[noreturn]] void Fail(const char* what);

inline void Check(bool condition, const char* what) {
    if (!condition)
        Fail(what);
}

}  // namespace fuzz
