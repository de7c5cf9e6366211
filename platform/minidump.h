// A Microsoft-format minidump (MDMP) of the calling process, written from the crash filter.
#pragma once

#include "platform/seh.h"
#include "platform/win_types.h"

#ifdef _WIN32
#include <dbghelp.h>

// dbghelp's own call for a normal dump of this process, with the exception and nothing else,
// into the file that platform::CreatePrivateFileAlways opened.
BOOL MiniDumpWriteDump(int file, const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam);
#else
struct MINIDUMP_EXCEPTION_INFORMATION {
    DWORD ThreadId;
    EXCEPTION_POINTERS* ExceptionPointers;
    BOOL ClientPointers;
};

// Writes a normal dump into the open file: the system (AMD64, Linux), the exception with the
// faulting thread's registers (as in Linux dumps, its code is the signal number; the Windows
// exception code is in ExceptionFlags), that thread with its stack memory, the loaded ELF modules
// with their GNU build ids as CodeView records (debuggers match the binaries by them), and the
// process id. The calling thread must be the faulting one. Only the faulting thread is
// included: other threads' registers cannot be read from inside the process. Async-signal-safe
// and not reentrant. FALSE when a write failed.
//
// The Win32 call also takes the process, its id, the dump type, user streams and a callback;
// this program always dumps itself with the normal type and nothing else, so they are fixed.
BOOL MiniDumpWriteDump(int file, const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam);
#endif
