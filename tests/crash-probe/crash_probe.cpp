// Installs the crash handlers and then faults as its one argument says, so that tests can
// watch a real crash from outside:
//   segv         null write on the main thread
//   thread-segv  null write on a worker that translates faults; it survives and exits 0
//   pure-call    a pure virtual call from a constructor
//   terminate    std::terminate without an exception
//   divide       integer division by zero
//   overflow     endless recursion on the main thread
// Before faulting it prints "fault-function=<hex>", the address of the function that faults.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>

#include "app/crash_handler.h"
#include "platform/path.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/crash-probe/faults.h"

namespace {

void PrintFaultFunction(const void* function) {
    std::printf("fault-function=%" PRIxPTR "\n", reinterpret_cast<std::uintptr_t>(function));
    std::fflush(stdout);
}

void ReportCaught(int type, const char* file, int line, const CSEHException* fault) {
    char text[512];
    if (fault)
        std::snprintf(text, sizeof text, "Type=%d File=%s Line=%d ExceptCode=%x Address=%" PRIxPTR,
                      type, file, line, fault->code,
                      reinterpret_cast<std::uintptr_t>(fault->record.ExceptionAddress));
    else
        std::snprintf(text, sizeof text, "Type=%d File=%s Line=%d", type, file, line);
    OutputDebugStringW(platform::Utf8ToWide(text).c_str());
}

int FaultOnWorker() {
    std::thread worker([] {
        _set_se_translator(TranslateSehException);
        try {
            WriteThroughNull();
        } catch (const CSEHException& fault) {
            ReportCaught(1, __FILE_NAME__, __LINE__, &fault);
        } catch (...) {
            ReportCaught(5, __FILE_NAME__, __LINE__, nullptr);
        }
    });
    worker.join();
    std::puts("worker survived");
    return 0;
}

int RunProbe(const char* fault) {
    if (std::strcmp(fault, "segv") == 0) {
        PrintFaultFunction(reinterpret_cast<const void*>(&WriteThroughNull));
        WriteThroughNull();
    } else if (std::strcmp(fault, "thread-segv") == 0) {
        PrintFaultFunction(reinterpret_cast<const void*>(&WriteThroughNull));
        return FaultOnWorker();
    } else if (std::strcmp(fault, "pure-call") == 0) {
        Square square;
    } else if (std::strcmp(fault, "terminate") == 0) {
        std::terminate();
    } else if (std::strcmp(fault, "overflow") == 0) {
        PrintFaultFunction(reinterpret_cast<const void*>(&Recurse));
        return Recurse(0);
    } else if (std::strcmp(fault, "divide") == 0) {
        PrintFaultFunction(reinterpret_cast<const void*>(&DivideByZero));
        return DivideByZero();
    }
    std::fprintf(stderr,
                 "usage: crash-probe segv|thread-segv|pure-call|terminate|divide|overflow\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    InstallCrashHandlers();
    InitAppPaths();
    if (argc != 2)
        return RunProbe("");
    return RunProbe(argv[1]);
}
