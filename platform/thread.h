// Threads by handle, as _beginthreadex gives them: a handle can be asked whether its thread is
// still running (a wait with zero time-out) and closed without waiting. Closing a handle never
// stops its thread; a thread whose handle is closed runs on to its end.
#pragma once

#include "platform/win_types.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

using ThreadProc = unsigned (*)(void* argument);

// Starts proc(argument) on a new thread at once; 0 when no thread could be started. Security,
// stack size and start flags have no counterpart and are ignored.
std::uintptr_t _beginthreadex(void* security, unsigned stackSize, ThreadProc proc, void* argument,
                              unsigned initFlag, unsigned* threadId);
// Waits for the thread's end: WAIT_OBJECT_0 once it has ended, WAIT_TIMEOUT when the time ran
// out first, WAIT_FAILED for a null handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
