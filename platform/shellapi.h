// The shell's calls for starting documents and for the notification area, with the Win32 names.
// Header only here: the skin engine's Qt host (ui/qt/shellapi.cpp) gives the functions, since
// on this system the desktop is reached through Qt.
#pragma once

#include "platform/win_ui.h"
#include "platform/window.h"

#ifdef _WIN32
#include <shellapi.h>
#else
// Results of ShellExecuteW at or below 32 are failures.
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;

// Opens file with the desktop's handler: an address ("scheme:...") in the user's browser or the
// scheme's program, a local document with the program the desktop associates with it. An
// executable file, or a program found on PATH when file names no folder, is started with
// parameters as its one argument. The verb must be null or "open"; owner, folder and show
// command have no counterpart. Returns a value above 32 on success.
HINSTANCE ShellExecuteW(HWND owner, const wchar_t* verb, const wchar_t* file,
                        const wchar_t* parameters, const wchar_t* directory, int showCommand);

inline constexpr DWORD NIM_ADD = 0x0;
inline constexpr DWORD NIM_DELETE = 0x2;

inline constexpr UINT NIF_MESSAGE = 0x1;
inline constexpr UINT NIF_ICON = 0x2;
inline constexpr UINT NIF_INFO = 0x10;

// The Win32 NOTIFYICONDATAW fields the program fills; cbSize keeps its Windows value.
struct NOTIFYICONDATAW {
    DWORD cbSize = 0;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    wchar_t szTip[128] = {};
    DWORD dwState = 0;
    DWORD dwStateMask = 0;
    wchar_t szInfo[256] = {};
    UINT uTimeout = 0;
    wchar_t szInfoTitle[64] = {};
    DWORD dwInfoFlags = 0;
};

// One notification-area icon per (window, id). With NIF_INFO the balloon text and title are
// shown: by the system tray when the desktop has one, else as a desktop notification (the
// freedesktop notification service), else not at all. FALSE when nothing could be shown or
// removed.
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);

// The program's icon resource id: the skin image "icon/<id>.png". Null when the skin has none.
// The icon lives as long as the process.
HICON LoadIconW(HINSTANCE instance, UINT resourceId);
#endif
