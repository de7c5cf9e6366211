// The shell's hands: opening documents, folders and web addresses with the desktop's handler,
// and showing a file in the file manager.
#pragma once

#include "platform/window.h"

using HINSTANCE_RESULT = std::intptr_t;

// Opens file (a path or a web address) with the desktop's handler, as ShellExecuteW with the
// verb "open" does. The file "Explorer.exe" with parameters "/select, <path>" shows that file
// selected in the file manager, or opens its folder when no file manager offers that. Returns a
// value above 32 when a handler was started, 2 (file not found) when there was nothing to open
// or no handler could start. Owner, verb, folder and show command have no counterpart.
HINSTANCE_RESULT ShellExecuteW(HWND owner, const wchar_t* verb, const wchar_t* file,
                               const wchar_t* parameters, const wchar_t* directory, int show);
