#include "platform/minidump.h"

BOOL MiniDumpWriteDump(int file, const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam) {
    return MiniDumpWriteDump(
        GetCurrentProcess(), GetCurrentProcessId(),
        reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(file)), MiniDumpNormal,
        const_cast<MINIDUMP_EXCEPTION_INFORMATION*>(exceptionParam), nullptr, nullptr);
}
