// Thread handles with the Win32 runtime's names: a thread started by _beginthreadex runs on its
// own; its handle answers whether the thread has ended (a zero-time wait) and is given back with
// CloseHandle, which never waits for the thread.
#pragma once

#include "platform/win_types.h"

#ifdef _WIN32
#include <process.h>
#else
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

using _beginthreadex_proc_type = unsigned (*)(void* argument);

// Starts proc(argument) on a new thread and returns its handle, or null when no thread could be
// started. Security, stack size and flags have no counterpart here (the default stack, started
// at once); a thread id asked for receives 0.
std::uintptr_t _beginthreadex(void* security, unsigned stackSize, _beginthreadex_proc_type proc,
                              void* argument, unsigned flags, unsigned* threadId);

// WAIT_OBJECT_0 once the thread has ended, WAIT_TIMEOUT while it runs after waiting up to
// milliseconds (INFINITE waits for the end), WAIT_FAILED for a null handle.
DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds);

// Gives the handle back. A thread still running goes on and cleans up after itself.
BOOL CloseHandle(HANDLE thread);
#endif
