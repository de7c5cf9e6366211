// Crash handling: processor faults become CSEHException on threads that ask for it, runtime
// errors become a thrown int 1, and whatever escapes ends in CrashFilter, which leaves
// "Error.tmp" in the data folder, tells the user, and ends the process.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/seh.h"

// A processor fault, thrown by value on a thread that installed TranslateSehException.
class CSEHException {
  public:
    CSEHException(std::uint32_t code, const EXCEPTION_RECORD& record, const CONTEXT& context)
        : code(code), record(record), context(context) {}

    std::uint32_t code;
    EXCEPTION_RECORD record;  // record.ExceptionAddress is what handlers report
    CONTEXT context;
};

// The exception translator: every thread that must survive a processor fault installs it
// first (_set_se_translator) and catches CSEHException around its work. The code that may
// fault must be compiled with -fnon-call-exceptions; brindle_app passes the flag on to whoever
// links it.
void TranslateSehException(unsigned int code, EXCEPTION_POINTERS* exceptionPointers);

void InvalidParameterHandler(const wchar_t* expression, const wchar_t* function,
                             const wchar_t* file, unsigned int line, std::uintptr_t reserved);
void PureCallHandler();
void OutOfMemoryHandler();

// The process's unhandled-exception filter. Runs inside a signal handler, so it allocates
// nothing and takes no locks.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exceptionPointers);

// The first step of the program: installs the handlers above.
void InstallCrashHandlers();
