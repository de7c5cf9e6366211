#include "platform/seh.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>

#include "platform/signal_safe.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
// Room for the filter and the dump writer, whose large buffers are static.
constexpr std::size_t kAlternateStackSize = 64 * 1024;

// A fault as the filter and the translator see it, with the signal that ends the process
// when nobody handles it.
struct Fault {
    int signo;
    EXCEPTION_RECORD record;
    CONTEXT context;
};

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
std::atomic<_purecall_handler> g_pureCallHandler{nullptr};
// The thread running the filter; 0 while none does.
std::atomic<pid_t> g_crashingThread{0};

// Read inside the signal handler: initial-exec TLS is a plain register-relative access.
thread_local _se_translator_function t_translator __attribute__((tls_model("initial-exec")));
thread_local Fault t_pendingFault __attribute__((tls_model("initial-exec")));

// The last fault this thread translated and the exception the translator made of it, so that
// std::terminate can hand the original fault to the filter when nothing caught the exception.
struct TranslatedFault {
    std::exception_ptr exception;
    Fault fault;
};
thread_local TranslatedFault t_translatedFault;

class AlternateSignalStack {
  public:
    AlternateSignalStack() {
        memory_ = ::mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory_ == MAP_FAILED)
            return;
        stack_t stack{};
        stack.ss_sp = memory_;
        stack.ss_size = kAlternateStackSize;
        ::sigaltstack(&stack, nullptr);
    }
    ~AlternateSignalStack() {
        if (memory_ == MAP_FAILED)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(memory_, kAlternateStackSize);
    }
    AlternateSignalStack(const AlternateSignalStack&) = delete;
    AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

  private:
    void* memory_;
};

// A fault that overflowed the stack leaves no stack to run the handler on.
void EnsureAlternateSignalStack() {
    static thread_local AlternateSignalStack stack;
}

DWORD FloatingPointCode(int siCode) {
    switch (siCode) {
        case FPE_INTDIV:
            return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF:
            return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV:
            return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF:
            return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND:
            return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES:
            return EXCEPTION_FLT_INEXACT_RESULT;
        default:
            return EXCEPTION_FLT_INVALID_OPERATION;
    }
}

DWORD CodeFromSignal(int signo, const siginfo_t* info) {
    switch (signo) {
        case SIGSEGV:
            return EXCEPTION_ACCESS_VIOLATION;
        case SIGBUS:
            return EXCEPTION_IN_PAGE_ERROR;
        case SIGFPE:
            return FloatingPointCode(info->si_code);
        case SIGILL:
            return info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG
                       ? EXCEPTION_PRIV_INSTRUCTION
                       : EXCEPTION_ILLEGAL_INSTRUCTION;
        case SIGTRAP:
            return EXCEPTION_BREAKPOINT;
        default:
            return STATUS_STACK_BUFFER_OVERRUN;
    }
}

// The kind of access as Windows reports it (0 read, 1 write, 8 execute), from the page-fault
// error code the kernel passes on: bit 1 is a write, bit 4 an instruction fetch.
std::uintptr_t AccessKind(const ucontext_t* uc) {
    const greg_t error = uc->uc_mcontext.gregs[REG_ERR];
    if (error & 0x10)
        return 8;
    return (error & 0x2) ? 1 : 0;
}

void ContextFromUcontext(const ucontext_t* uc, CONTEXT* context) {
    std::memset(context, 0, sizeof *context);
    const greg_t* g = uc->uc_mcontext.gregs;
    context->ContextFlags = CONTEXT_FULL | CONTEXT_SEGMENTS;
    context->Rax = g[REG_RAX];
    context->Rcx = g[REG_RCX];
    context->Rdx = g[REG_RDX];
    context->Rbx = g[REG_RBX];
    context->Rsp = g[REG_RSP];
    context->Rbp = g[REG_RBP];
    context->Rsi = g[REG_RSI];
    context->Rdi = g[REG_RDI];
    context->R8 = g[REG_R8];
    context->R9 = g[REG_R9];
    context->R10 = g[REG_R10];
    context->R11 = g[REG_R11];
    context->R12 = g[REG_R12];
    context->R13 = g[REG_R13];
    context->R14 = g[REG_R14];
    context->R15 = g[REG_R15];
    context->Rip = g[REG_RIP];
    context->EFlags = static_cast<DWORD>(g[REG_EFL]);
    // cs, gs, fs and (when the kernel saves it) ss, 16 bits each.
    const auto segments = static_cast<std::uint64_t>(g[REG_CSGSFS]);
    context->SegCs = static_cast<WORD>(segments);
    context->SegGs = static_cast<WORD>(segments >> 16);
    context->SegFs = static_cast<WORD>(segments >> 32);
    context->SegSs = static_cast<WORD>(segments >> 48);
    if (uc->uc_mcontext.fpregs) {
        std::memcpy(context->FltSave, uc->uc_mcontext.fpregs, sizeof context->FltSave);
        context->MxCsr = uc->uc_mcontext.fpregs->mxcsr;
    }
}

void FaultFromSignal(int signo, const siginfo_t* info, const ucontext_t* uc, Fault* fault) {
    fault->signo = signo;
    ContextFromUcontext(uc, &fault->context);
    EXCEPTION_RECORD& record = fault->record;
    std::memset(&record, 0, sizeof record);
    record.ExceptionCode = CodeFromSignal(signo, info);
    std::uint64_t address = fault->context.Rip;
    // The kernel reports a breakpoint after the int3 instruction; Windows reports the int3.
    if (signo == SIGTRAP && info->si_code == SI_KERNEL)
        address -= 1;
    record.ExceptionAddress = reinterpret_cast<void*>(address);
    if (signo == SIGSEGV || signo == SIGBUS) {
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = AccessKind(uc);
        record.ExceptionInformation[1] = reinterpret_cast<std::uintptr_t>(info->si_addr);
    }
}

// The current registers as a fault at this point, for ends that are not signals.
void FaultHere(DWORD code, Fault* fault) {
    ucontext_t uc;
    ::getcontext(&uc);
    fault->signo = SIGABRT;
    ContextFromUcontext(&uc, &fault->context);
    std::memset(&fault->record, 0, sizeof fault->record);
    fault->record.ExceptionCode = code;
    fault->record.ExceptionAddress = reinterpret_cast<void*>(fault->context.Rip);
}

// The default action of the signal: the process ends the way it would have without handlers,
// so the parent sees which fault ended it.
[[noreturn]] void EndProcess(int signo) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signo, &action, nullptr);
    sigset_t unblock;
    ::sigemptyset(&unblock);
    ::sigaddset(&unblock, signo);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signo);
    ::_exit(128 + signo);
}

[[noreturn]] void RunUnhandledExceptionFilter(Fault* fault) {
    const pid_t self = ::gettid();
    pid_t running = 0;
    if (!g_crashingThread.compare_exchange_strong(running, self)) {
        // A fault inside the filter is not handled further; a crash on another thread waits
        // for the first one to end the process.
        if (running == self)
            EndProcess(fault->signo);
        for (;;)
            ::pause();
    }
    EXCEPTION_POINTERS pointers{&fault->record, &fault->context};
    if (LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load())
        filter(&pointers);
    EndProcess(fault->signo);
}

bool IsProcessorFault(int signo, const siginfo_t* info) {
    // A positive si_code means the kernel raised the signal for an instruction; kill() and
    // raise() give zero or less.
    return signo != SIGABRT && info->si_code > 0;
}

}  // namespace

// The faulting thread resumes here instead of at the faulting instruction. The return address
// pushed by the signal handler makes this frame look called from the faulting instruction, and
// the frame-pointer rules let the unwinder find that caller's stack pointer although the
// stack is realigned for the call.
extern "C" [[noreturn]] void BrindleCallTranslator();
extern "C" void BrindleResumeInTranslator();
asm(R"(
    .text
    .globl BrindleResumeInTranslator
    .hidden BrindleResumeInTranslator
    .type BrindleResumeInTranslator, @function
BrindleResumeInTranslator:
    .cfi_startproc
    pushq %rbp
    .cfi_def_cfa_offset 16
    .cfi_offset %rbp, -16
    movq %rsp, %rbp
    .cfi_def_cfa_register %rbp
    andq $-16, %rsp
    call BrindleCallTranslator
    ud2
    .cfi_endproc
    .size BrindleResumeInTranslator, .-BrindleResumeInTranslator
)");

extern "C" __attribute__((visibility("hidden"))) void BrindleCallTranslator() {
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

// Lets the signal handler return into BrindleResumeInTranslator as if the faulting
// instruction had called it. False when the stack has no room (an overflow): then the fault
// cannot be translated.
bool ResumeInTranslator(ucontext_t* uc, const Fault& fault) {
    greg_t* g = uc->uc_mcontext.gregs;
    // One byte into the faulting instruction: the unwinder subtracts one from return
    // addresses, and so looks up the faulting instruction itself in the exception tables.
    const std::uint64_t returnAddress =
        reinterpret_cast<std::uint64_t>(fault.record.ExceptionAddress) + 1;
    const std::uint64_t slot = static_cast<std::uint64_t>(g[REG_RSP]) - sizeof returnAddress;
    if (!platform::WriteOwnMemory(slot, &returnAddress, sizeof returnAddress))
        return false;
    t_pendingFault = fault;
    g[REG_RSP] = static_cast<greg_t>(slot);
    g[REG_RIP] = reinterpret_cast<greg_t>(&BrindleResumeInTranslator);
    return true;
}

void OnFatalSignal(int signo, siginfo_t* info, void* ucontextPointer) {
    auto* uc = static_cast<ucontext_t*>(ucontextPointer);
    Fault fault;
    FaultFromSignal(signo, info, uc, &fault);
    if (IsProcessorFault(signo, info) && t_translator && ResumeInTranslator(uc, fault))
        return;
    RunUnhandledExceptionFilter(&fault);
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

void InstallSignalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnFatalSignal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        ::sigemptyset(&action.sa_mask);
        for (int signo : kFatalSignals)
            ::sigaction(signo, &action, nullptr);
        std::set_terminate(OnTerminate);
    });
}

}  // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    EnsureAlternateSignalStack();
    InstallSignalHandlers();
    return g_filter.exchange(filter);
}

_se_translator_function _set_se_translator(_se_translator_function translator) {
    EnsureAlternateSignalStack();
    InstallSignalHandlers();
    const _se_translator_function previous = t_translator;
    t_translator = translator;
    return previous;
}

_purecall_handler _set_purecall_handler(_purecall_handler handler) {
    return g_pureCallHandler.exchange(handler);
}

// Takes the place of the C++ runtime's own, so that a pure virtual call reaches the handler.
extern "C" [[noreturn]] void __cxa_pure_virtual() {
    if (_purecall_handler handler = g_pureCallHandler.load())
        handler();
    std::terminate();
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::gettid());
}
