#include "app/crash_handler.h"

#include <new>
#include <string>

#include "platform/minidump.h"
#include "platform/path.h"
#include "platform/signal_safe.h"
#include "settings/settings.h"

namespace {

constexpr wchar_t kDumpFileName[] = L"Error.tmp";
constexpr char kCrashText[] = "程序发生异常崩溃( code:%x address:%x )";
constexpr char kCrashCaption[] = "except";
constexpr std::size_t kDumpPathSize = 4096;

// dataDir joined with "Error.tmp", encoded for the file system. DataFilePath would allocate,
// which a signal handler must not; dataDir itself is fixed once start-up has filled it.
bool BuildDumpPath(char* path, std::size_t size) {
    const std::wstring& dataDir = GetAppPaths().dataDir;
    if (dataDir.empty())
        return false;
    path[0] = '\0';
    const wchar_t separator[] = {platform::kPathSeparator, L'\0'};
    return platform::AppendUtf8(path, size, dataDir.c_str()) &&
           (dataDir.back() == platform::kPathSeparator ||
            platform::AppendUtf8(path, size, separator)) &&
           platform::AppendUtf8(path, size, kDumpFileName);
}

void WriteDump(const char* dumpPath, EXCEPTION_POINTERS* exceptionPointers) {
    const int file = platform::CreatePrivateFileAlways(dumpPath);
    if (file < 0)
        return;
    MINIDUMP_EXCEPTION_INFORMATION exceptionInfo{GetCurrentThreadId(), exceptionPointers, FALSE};
    MiniDumpWriteDump(file, &exceptionInfo);
    platform::CloseFile(file);
}

void ShowCrashMessage(const EXCEPTION_RECORD& record) {
    char text[sizeof kCrashText + 32];
    platform::FormatHex(
        text, sizeof text, kCrashText,
        {record.ExceptionCode, reinterpret_cast<std::uintptr_t>(record.ExceptionAddress)});
    platform::CrashMessageBox(text, kCrashCaption);
}

}  // namespace

void TranslateSehException(unsigned int code, EXCEPTION_POINTERS* exceptionPointers) {
    throw CSEHException(code, *exceptionPointers->ExceptionRecord,
                        *exceptionPointers->ContextRecord);
}

void InvalidParameterHandler(const wchar_t* expression, const wchar_t*, const wchar_t*,
                             unsigned int, std::uintptr_t) {
    OutputDebugStringW((std::wstring(L"Invalid Parameter Expression:") + expression).c_str());
    throw 1;
}

void PureCallHandler() {
    throw 1;
}

void OutOfMemoryHandler() {
    throw 1;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exceptionPointers) {
    const EXCEPTION_RECORD record = *exceptionPointers->ExceptionRecord;
    char dumpPath[kDumpPathSize];
    if (BuildDumpPath(dumpPath, sizeof dumpPath))
        WriteDump(dumpPath, exceptionPointers);
    ShowCrashMessage(record);
    return EXCEPTION_EXECUTE_HANDLER;
}

void InstallCrashHandlers() {
    _set_se_translator(TranslateSehException);
    // The C library has no invalid-parameter hook to install InvalidParameterHandler into: its
    // functions report bad arguments through their results and errno.
    _set_purecall_handler(PureCallHandler);
    std::set_new_handler(OutOfMemoryHandler);
    // New mode 1 has no counterpart: a failed malloc returns null and never calls the
    // new-handler.
    SetUnhandledExceptionFilter(CrashFilter);
}
