#include "platform/seh.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <mutex>

namespace {

// A fault as the filter and the translator see it.
struct Fault {
    EXCEPTION_RECORD record{};
    CONTEXT context{};
};

// The exception a translator threw for a fault, so that std::terminate can hand the original
// fault to the filter when nothing caught it.
struct TranslatedFault {
    std::exception_ptr exception;
    Fault fault;
};

thread_local _se_translator_function t_translator = nullptr;
thread_local Fault t_pendingFault;
thread_local TranslatedFault t_translatedFault;

bool IsProcessorFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_UNDERFLOW:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
            return true;
        default:
            return false;
    }
}

// Hands the fault to the process's unhandled-exception filter, as Windows does for a fault
// nobody handled, and ends the process with the fault's code.
[[noreturn]] void RunUnhandledExceptionFilter(Fault* fault) {
    EXCEPTION_POINTERS pointers{&fault->record, &fault->context};
    UnhandledExceptionFilter(&pointers);
    TerminateProcess(GetCurrentProcess(), fault->record.ExceptionCode);
    std::abort();
}

// A fault record for a failure that the program itself noticed here.
void FaultHere(DWORD code, Fault* fault) {
    RtlCaptureContext(&fault->context);
    fault->record.ExceptionCode = code;
    fault->record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    fault->record.ExceptionAddress = __builtin_return_address(0);
}

}  // namespace

// The faulting thread resumes here instead of at the faulting instruction. The return address
// that the exception handler pushed makes this frame look called from the faulting
// instruction, and the frame pointer lets the unwinder find that caller's stack pointer
// although the stack is realigned for the call.
extern "C" [[noreturn]] void BrindleCallTranslator();
extern "C" void BrindleResumeInTranslator();
#if defined(__i386__)
asm(R"(
    .text
    .globl _BrindleResumeInTranslator
    .def _BrindleResumeInTranslator; .scl 2; .type 32; .endef
_BrindleResumeInTranslator:
    .cfi_startproc
    pushl %ebp
    .cfi_def_cfa_offset 8
    .cfi_offset %ebp, -8
    movl %esp, %ebp
    .cfi_def_cfa_register %ebp
    andl $-16, %esp
    call _BrindleCallTranslator
    ud2
    .cfi_endproc
)");
#endif

extern "C" void BrindleCallTranslator() {
    Fault fault = t_pendingFault;
    EXCEPTION_POINTERS pointers{&fault.record, &fault.context};
    std::exception_ptr translated;
    try {
        t_translator(fault.record.ExceptionCode, &pointers);
    } catch (...) {
        translated = std::current_exception();
    }
    // A translator that does not throw leaves the fault unhandled, as on Windows.
    if (!translated)
        RunUnhandledExceptionFilter(&fault);
    t_translatedFault = TranslatedFault{translated, fault};
    std::rethrow_exception(translated);
}

namespace {

// Lets the faulting thread continue in BrindleResumeInTranslator as if the faulting
// instruction had called it. False where that cannot be done: on a 64-bit build, whose
// unwinder reads Windows' own unwind tables, and when the stack has no room (an overflow).
bool ResumeInTranslator(CONTEXT* context) {
#if defined(__i386__)
    // One byte into the faulting instruction: the unwinder subtracts one from return
    // addresses, and so looks up the faulting instruction itself in the exception tables.
    const DWORD returnAddress = context->Eip + 1;
    const DWORD slot = context->Esp - sizeof returnAddress;
    SIZE_T written = 0;
    if (!WriteProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(slot), &returnAddress,
                            sizeof returnAddress, &written) ||
        written != sizeof returnAddress)
        return false;
    context->Esp = slot;
    context->Eip = reinterpret_cast<DWORD>(&BrindleResumeInTranslator);
    return true;
#else
    (void)context;
    return false;
#endif
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (!t_translator || !IsProcessorFault(code))
        return EXCEPTION_CONTINUE_SEARCH;
    t_pendingFault = Fault{*pointers->ExceptionRecord, *pointers->ContextRecord};
    return ResumeInTranslator(pointers->ContextRecord) ? EXCEPTION_CONTINUE_EXECUTION
                                                       : EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void OnTerminate() {
    const std::exception_ptr current = std::current_exception();
    Fault fault;
    if (current && current == t_translatedFault.exception)
        fault = t_translatedFault.fault;
    else
        FaultHere(current ? EXCEPTION_CPP_UNCAUGHT : STATUS_STACK_BUFFER_OVERRUN, &fault);
    RunUnhandledExceptionFilter(&fault);
}

void OnAbort(int) {
    Fault fault;
    FaultHere(STATUS_STACK_BUFFER_OVERRUN, &fault);
    RunUnhandledExceptionFilter(&fault);
}

void InstallProcessHooks() {
    static std::once_flag once;
    std::call_once(once, [] {
        AddVectoredExceptionHandler(1, OnException);
        std::set_terminate(OnTerminate);
        std::signal(SIGABRT, OnAbort);
    });
}

}  // namespace

extern "C" _se_translator_function _set_se_translator(_se_translator_function translator) {
    InstallProcessHooks();
    const _se_translator_function previous = t_translator;
    t_translator = translator;
    return previous;
}

// Takes the place of the C++ runtime's own, so that a pure virtual call reaches the handler
// that _set_purecall_handler installed (the Microsoft runtime's hook, which MinGW's C++ code
// does not call by itself).
extern "C" [[noreturn]] void __cxa_pure_virtual() {
    const _purecall_handler handler = _set_purecall_handler(nullptr);
    _set_purecall_handler(handler);
    if (handler)
        handler();
    std::terminate();
}
