// The shell's dialogs and file drops, under their Win32 names: the open-file dialog, the folder
// browser, and files dropped on a window, which arrive as WM_DROPFILES with a drop handle that
// DragQueryFileW reads.
#pragma once

#include <string>
#include <vector>

#include "platform/win_ui.h"
#include "platform/window.h"

inline constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr DWORD OFN_EXPLORER = 0x00080000;

struct OPENFILENAMEW {
    DWORD lStructSize = sizeof(OPENFILENAMEW);
    HWND hwndOwner = nullptr;
    // Pairs of description and pattern, each NUL-terminated, the list ended by an empty one.
    const wchar_t* lpstrFilter = nullptr;
    DWORD nFilterIndex = 0;
    // The selection: one full path, or with OFN_ALLOWMULTISELECT and several files the folder,
    // a NUL, then each name NUL-terminated and an empty name.
    wchar_t* lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    const wchar_t* lpstrInitialDir = nullptr;
    const wchar_t* lpstrTitle = nullptr;
    DWORD Flags = 0;
    // Where the first name starts in lpstrFile.
    WORD nFileOffset = 0;
};

// Shows the open-file dialog modal over the owner; FALSE when it was cancelled or the selection
// does not fit lpstrFile.
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);

inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr UINT BIF_EDITBOX = 0x0010;
inline constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;

struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;

struct BROWSEINFOW {
    HWND hwndOwner = nullptr;
    PIDLIST_ABSOLUTE pidlRoot = nullptr;
    wchar_t* pszDisplayName = nullptr;
    const wchar_t* lpszTitle = nullptr;
    UINT ulFlags = 0;
};

// Shows the folder browser modal over the owner; the chosen folder, to be freed with
// CoTaskMemFree, or null when it was cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info);
// Copies the folder's path into path (MAX_PATH characters); FALSE when it does not fit.
BOOL SHGetPathFromIDListW(PIDLIST_ABSOLUTE item, wchar_t* path);
void CoTaskMemFree(void* memory);

struct DropFiles;
using HDROP = DropFiles*;

// Lets files be dropped on the window. A drop is taken at once and, after the drag has ended,
// sent to the window as WM_DROPFILES with a drop handle as wParam, valid until the window has
// handled the message.
void DragAcceptFiles(HWND hwnd, BOOL accept);
// Hands the files to the window as a drop of them would, later on the UI thread: callable from
// any thread, it never waits. Nothing happens when the window has gone by then.
void DropFilesOnWindow(HWND hwnd, std::vector<std::wstring> paths);
// index 0xFFFFFFFF: the number of dropped files. Otherwise the index-th path: without a buffer
// its length; with one, copied (cut to size - 1 characters) and the copied length returned.
UINT DragQueryFileW(HDROP drop, UINT index, wchar_t* file, UINT size);
