// Where skin files come from: a zip archive in memory (the embedded skin) or a folder. Both are
// process-wide, as skins are shared by every window.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ui::resources {

// "a/../b", "./b", "..\b" -> "b": separators become '/', and ".." never climbs above the root,
// so "../default/x.png" and "default/x.png" name the same entry.
std::string NormalizePath(std::wstring_view path);

void SetResourcePath(std::wstring_view folder);
std::wstring GetResourcePath();
// Reads the archive in place; data must stay valid. False (and no archive) when it is no zip.
bool SetResourceZip(const void* data, size_t size);
bool SetResourceZipFile(std::wstring_view file);
void ClearResourceZip();
bool IsUsingZip();

// The bytes of a skin file: an absolute path is read from disk; a relative one from the zip
// when set (entry names compared exactly, then without case), else from the resource path.
std::optional<std::string> Load(std::wstring_view path);

}  // namespace ui::resources
