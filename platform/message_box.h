// The system message box, used only for notices given before any window exists.
#pragma once

#include "platform/window.h"

#ifndef _WIN32
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_ICONERROR = 0x10;

// A message box with one OK button for notices given before any window exists: shown by the
// brindle-message-box helper when there is a display, else one line on standard error. Waits
// until it is closed and returns IDOK.
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
#endif
