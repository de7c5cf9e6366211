// Window geometry, window messages, styles and show commands: the part of the Win32 vocabulary
// that windowed code is written against. Header only; the skin engine's Qt host gives the
// few functions behind it.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
using UINT_PTR = std::uintptr_t;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_DROPFILES = 0x0233;

inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr UINT WS_OVERLAPPED = 0x00000000;
inline constexpr UINT WS_POPUP = 0x80000000;
inline constexpr UINT WS_CHILD = 0x40000000;
inline constexpr UINT WS_MINIMIZE = 0x20000000;
inline constexpr UINT WS_VISIBLE = 0x10000000;
inline constexpr UINT WS_DISABLED = 0x08000000;
inline constexpr UINT WS_CLIPSIBLINGS = 0x04000000;
inline constexpr UINT WS_CLIPCHILDREN = 0x02000000;
inline constexpr UINT WS_MAXIMIZE = 0x01000000;
inline constexpr UINT WS_CAPTION = 0x00C00000;
inline constexpr UINT WS_BORDER = 0x00800000;
inline constexpr UINT WS_SYSMENU = 0x00080000;
inline constexpr UINT WS_THICKFRAME = 0x00040000;
inline constexpr UINT WS_MINIMIZEBOX = 0x00020000;
inline constexpr UINT WS_MAXIMIZEBOX = 0x00010000;
inline constexpr UINT WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr UINT WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr UINT WS_EX_TOPMOST = 0x00000008;
inline constexpr UINT WS_EX_WINDOWEDGE = 0x00000100;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

using HINSTANCE = void*;
using HICON = void*;
#endif
