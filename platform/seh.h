// Structured exceptions: the Win32 exception records, the per-thread exception translator, the
// process's unhandled-exception filter and the runtime's pure-call hook, with the names the
// Windows runtime gives them.
//
// On Windows the records, the filter and the pure-call hook are the system's own. The
// translator is the Microsoft compiler's, whose exceptions MinGW's code cannot unwind; here a
// vectored exception handler resumes the faulting thread in the translator instead, as the Linux
// signal handler does. The first translator installed also hands std::terminate, abort() and
// pure virtual calls to the unhandled-exception filter.
//
// On Linux everything stands over POSIX signals:
// A processor fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP) on a thread that installed a
// translator resumes that thread in the translator, which may throw: the fault becomes an
// ordinary C++ exception thrown at the faulting instruction. Code that must catch it has to be
// compiled with -fnon-call-exceptions, so that the faulting instruction lies inside its try
// block. A fault that no handler catches, a fault on any other thread, SIGABRT and
// std::terminate reach the unhandled-exception filter, which runs on an alternate signal stack
// (for the main thread and for every thread with a translator) and must be async-signal-safe.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

#ifdef _WIN32
// std::terminate for an exception nobody caught: the code of a C++ exception raised by the
// Microsoft compiler, which is what the filter sees there for the same program error. abort()
// and std::terminate without an exception report STATUS_STACK_BUFFER_OVERRUN.
inline constexpr DWORD EXCEPTION_CPP_UNCAUGHT = 0xE06D7363;

extern "C" {
using _se_translator_function = void (*)(unsigned int code, EXCEPTION_POINTERS* exceptionPointers);
// The calling thread's translator; returns the previous one. See the Linux description below.
_se_translator_function _set_se_translator(_se_translator_function translator);
}
#else
// Exception codes keep their Windows values, so a dump or a log line means the same on both
// platforms.
inline constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;  // SIGSEGV
inline constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;     // SIGBUS
inline constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
inline constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
inline constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
inline constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
inline constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;
inline constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008F;
inline constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;
inline constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091;
inline constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093;
inline constexpr DWORD EXCEPTION_BREAKPOINT = 0x80000003;  // SIGTRAP
// abort() (SIGABRT) and std::terminate without an exception: the code the Microsoft runtime's
// abort reports through its fail-fast path.
inline constexpr DWORD STATUS_STACK_BUFFER_OVERRUN = 0xC0000409;
// std::terminate for an exception nobody caught: the code of a C++ exception raised by the
// Microsoft compiler, which is what the filter sees there for the same program error.
inline constexpr DWORD EXCEPTION_CPP_UNCAUGHT = 0xE06D7363;

inline constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    void* ExceptionAddress;  // the faulting instruction
    DWORD NumberParameters;
    // Access violations and in-page errors: [0] 0 read, 1 write, 8 execute; [1] the data address.
    std::uintptr_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};

struct alignas(16) M128A {
    std::uint64_t Low;
    std::int64_t High;
};

// CONTEXT flags of the AMD64 register set.
inline constexpr DWORD CONTEXT_AMD64 = 0x00100000;
inline constexpr DWORD CONTEXT_CONTROL = CONTEXT_AMD64 | 0x1;
inline constexpr DWORD CONTEXT_INTEGER = CONTEXT_AMD64 | 0x2;
inline constexpr DWORD CONTEXT_SEGMENTS = CONTEXT_AMD64 | 0x4;
inline constexpr DWORD CONTEXT_FLOATING_POINT = CONTEXT_AMD64 | 0x8;
inline constexpr DWORD CONTEXT_FULL = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_FLOATING_POINT;

// The AMD64 CONTEXT, byte for byte as Windows lays it out: the minidump carries it unchanged.
struct alignas(16) CONTEXT {
    std::uint64_t P1Home, P2Home, P3Home, P4Home, P5Home, P6Home;
    DWORD ContextFlags;
    DWORD MxCsr;
    WORD SegCs, SegDs, SegEs, SegFs, SegGs, SegSs;
    DWORD EFlags;
    std::uint64_t Dr0, Dr1, Dr2, Dr3, Dr6, Dr7;
    std::uint64_t Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi;
    std::uint64_t R8, R9, R10, R11, R12, R13, R14, R15;
    std::uint64_t Rip;
    BYTE FltSave[512];  // the FXSAVE image, which is also what Linux saves
    M128A VectorRegister[26];
    std::uint64_t VectorControl;
    std::uint64_t DebugControl, LastBranchToRip, LastBranchFromRip, LastExceptionToRip,
        LastExceptionFromRip;
};
static_assert(sizeof(EXCEPTION_RECORD) == 152);
static_assert(sizeof(CONTEXT) == 1232);

struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};

inline constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;

using LPTOP_LEVEL_EXCEPTION_FILTER = LONG WINAPI (*)(EXCEPTION_POINTERS* exceptionPointers);
using _se_translator_function = void (*)(unsigned int code, EXCEPTION_POINTERS* exceptionPointers);
using _purecall_handler = void (*)();

// The filter for faults nobody handles; returns the previous one. After the filter returns the
// process ends at once by the signal's default action (SIGABRT for std::terminate), so the
// parent sees which fault ended it.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

// The calling thread's translator; returns the previous one. The translator is called with the
// fault's code and records on the faulting thread, outside the signal handler; when it throws,
// the exception leaves the faulting instruction. A thrown exception that nothing catches, or a
// translator that returns, hands the original fault to the unhandled-exception filter.
_se_translator_function _set_se_translator(_se_translator_function translator);

// Called by the C++ runtime for a call of a pure virtual function; returns the previous one.
_purecall_handler _set_purecall_handler(_purecall_handler handler);

DWORD GetCurrentThreadId();
#endif
