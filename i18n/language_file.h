// The layout of a language file, shared by the program that reads it and the tool that writes
// it: a compound file whose root streams are the sections, each a scrambled run of UTF-16LE
// "key=value" entries, every entry NUL-terminated, an empty entry closing the run.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win_types.h"

// The reader's buffer: a section stream must stay below this many bytes.
inline constexpr size_t kLanguageSectionBufferSize = 131072;

// XORs the low 16 bits of every 32-bit little-endian word at offset 4i with 0x71D4 while
// 4i + 4 < n: every complete group but a final one that ends exactly at n. The step is its own
// inverse, so it both scrambles and unscrambles.
void ToggleLanguageScrambling(BYTE* data, size_t n);

using LanguageEntry = std::pair<std::wstring, std::wstring>;  // key, value

// One section stream as stored: the entries as "key=value" in UTF-16LE, each NUL-terminated,
// then an empty entry, all scrambled.
std::string EncodeLanguageSection(const std::vector<LanguageEntry>& entries);

struct LanguageStream {
    std::wstring name;
    std::string bytes;  // stored as given
};

// Writes a compound file with the given root streams, replacing the file at path.
bool WriteLanguageFile(const std::wstring& path, const std::vector<LanguageStream>& streams);
