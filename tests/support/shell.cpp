#include "tests/support/shell.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <cctype>
#include <chrono>
#include <thread>

#include "platform/path.h"
#include "platform/text.h"
#include "platform/win32/function_lookup.h"
#include "tests/support/temp_dir.h"
#else
#include <sys/wait.h>
#endif

namespace testing_support {

#ifdef _WIN32
namespace {

// Wine's own call that names the Linux file behind a Windows path; null off Wine.
std::string UnixPath(const std::string& windowsPath) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    static const auto unixFileName = platform::LookUpFunction<UnixFileName>(
        GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name");
    wchar_t full[MAX_PATH];
    const std::wstring wide = platform::Utf8ToWide(windowsPath);
    if (!unixFileName || GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr) == 0)
        return windowsPath;
    char* name = unixFileName(full);
    if (!name)
        return windowsPath;
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool IsWindowsAbsolutePath(const std::string& text) {
    return text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) &&
           text[1] == ':' && (text[2] == '\\' || text[2] == '/');
}

// The tests' tools are Linux programs, which Wine starts but can neither wait for nor collect
// the exit status of: the command runs in a shell script that leaves its status in a file, and
// this waits for that file.
int RunShell(const std::string& command, std::string* output) {
    TempDir scratch;
    const std::string status = UnixPath(scratch.File("status"));
    std::string script =
        "PATH=/usr/local/bin:/usr/bin:/bin LC_ALL=C.UTF-8; export PATH LC_ALL\n{\n" + command +
        "\n}";
    if (output)
        script += " > " + Quote(UnixPath(scratch.File("out")));
    script += "\necho $? > " + Quote(status + ".part") + " && mv " + Quote(status + ".part") + " " +
              Quote(status) + "\n";
    WriteFile(scratch.File("run.sh"), script);

    std::wstring commandLine = L"/bin/sh " + platform::Utf8ToWide(UnixPath(scratch.File("run.sh")));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    while (!FileExists(scratch.File("status"))) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (output)
        *output = ReadFile(scratch.File("out"));
    return std::atoi(ReadFile(scratch.File("status")).c_str());
}

}  // namespace

int Run(const std::string& command) {
    return RunShell(command, nullptr);
}

ProgramRun RunProgram(const std::wstring& program, const std::wstring& arguments,
                      const std::wstring& folder) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    PathRemoveFileSpecW(self);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\\" + program + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ProgramRun run;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        run.exitCode = GetLastError();
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD n = 0;
        while (::ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
            run.output.append(buffer, n);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        run.exitCode = GetLastError();
    }
    CloseHandle(readEnd);
    return run;
}

std::string Capture(const std::string& command) {
    std::string out;
    RunShell(command, &out);
    return out;
}
#else
int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}
#endif

std::string Quote(const std::string& text) {
#ifdef _WIN32
    // A Windows path reaches the Linux shell as the Linux path of the same file.
    if (IsWindowsAbsolutePath(text))
        return Quote(UnixPath(text));
#endif
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace testing_support
