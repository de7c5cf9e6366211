// The shell's special folders: the system's own on Windows. On Linux CSIDL_APPDATA is the XDG
// configuration home and CSIDL_DESKTOPDIRECTORY the XDG desktop folder, so every per-user file
// follows HOME and XDG_CONFIG_HOME (which is also how tests keep away from a real home folder).
#pragma once

#include <string>

#include "platform/win_types.h"
#include "platform/window.h"

#ifdef _WIN32
#include <shlobj.h>
#else

inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
inline constexpr int CSIDL_APPDATA = 0x1A;

// An item identifier list; here it simply carries the folder's path.
struct ITEMIDLIST {
    std::wstring path;
};
using LPITEMIDLIST = ITEMIDLIST*;

// The shell allocator that frees item identifier lists.
class IMalloc {
  public:
    void Free(void* p);
    void Release();
};

HRESULT SHGetMalloc(IMalloc** malloc);
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);
// Copies the path (at most MAX_PATH - 1 characters) into path; FALSE when it does not fit.
BOOL SHGetPathFromIDListW(const ITEMIDLIST* list, wchar_t* path);

namespace platform {
// $XDG_CONFIG_HOME, else $HOME/.config; empty when neither HOME nor the user database knows.
std::wstring ConfigHome();
// The user's home folder; empty when unknown.
std::wstring HomeFolder();
}  // namespace platform
#endif
