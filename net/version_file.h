// The update server's version file: "version=" followed by the newest version text.
#pragma once

#include <string>

struct VersionFile {
    bool valid = false;
    std::wstring version;
};

// Line feeds and tabs are dropped wherever they stand (carriage returns stay); the text is
// valid when it then begins with "version=" exactly, and the version is the rest.
VersionFile ParseVersionFile(std::wstring text);

// A plain ordinal comparison of UTF-16 code units, as the version texts were always compared:
// "2.0" is newer than "10.0".
bool IsNewerVersion(const std::wstring& remote, const std::wstring& installed);
