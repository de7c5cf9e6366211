#include "platform/child_process.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/path.h"
#include "platform/text.h"
#include "platform/win_types.h"

namespace platform {
namespace {

// The child's ends of the channel and the parent's process, as the child finds them.
constexpr char kChannelVariable[] = "BRINDLE_CHANNEL";
constexpr int kPollStepMs = 10;

HANDLE AsHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

void CloseAndClear(void*& handle) {
    if (handle)
        CloseHandle(AsHandle(handle));
    handle = nullptr;
}

std::string HandleText(HANDLE handle) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(handle));
}

// The child's handles from its environment: reading end, writing end, parent process.
bool ChannelHandles(HANDLE* read, HANDLE* write, HANDLE* parent) {
    const char* text = std::getenv(kChannelVariable);
    if (!text)
        return false;
    char* end = nullptr;
    *read = reinterpret_cast<HANDLE>(std::strtoull(text, &end, 10));
    if (*end != ';')
        return false;
    *write = reinterpret_cast<HANDLE>(std::strtoull(end + 1, &end, 10));
    if (*end != ';')
        return false;
    *parent = reinterpret_cast<HANDLE>(std::strtoull(end + 1, &end, 10));
    return *end == '\0';
}

bool WriteAllTo(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Appends what the pipe holds now; closes it once the writer has gone. True when it gave bytes.
bool Drain(void*& pipe, std::string& into) {
    if (!pipe)
        return false;
    DWORD available = 0;
    if (!PeekNamedPipe(AsHandle(pipe), nullptr, 0, nullptr, &available, nullptr)) {
        CloseAndClear(pipe);
        return false;
    }
    if (available == 0)
        return false;
    std::string buffer(available, '\0');
    DWORD got = 0;
    if (!ReadFile(AsHandle(pipe), buffer.data(), available, &got, nullptr)) {
        CloseAndClear(pipe);
        return false;
    }
    into.append(buffer.data(), got);
    return got > 0;
}

// The environment block with the given entries put in place of any of the same name.
std::wstring ChildEnvironment(const std::vector<std::string>& extra) {
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        const std::wstring_view name = text.substr(0, text.find(L'=', 1));
        bool replaced = false;
        for (const std::string& mine : extra)
            replaced = replaced || Utf8ToWide(mine.substr(0, mine.find('='))) == name;
        if (!replaced)
            block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(own);
    for (const std::string& mine : extra)
        block.append(Utf8ToWide(mine)).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (IsRunning()) {
        Kill();
        Wait();
    }
    CloseAndClear(toChild_);
    CloseAndClear(fromChild_);
    CloseAndClear(diagnostics_);
}

bool ChildProcess::Start(const std::wstring& program, const std::vector<std::string>& environment) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childReads = nullptr, parentWrites = nullptr, parentReads = nullptr,
           childWrites = nullptr, diagnosticsRead = nullptr, diagnosticsWrite = nullptr,
           parent = nullptr;
    const HANDLE self = GetCurrentProcess();
    bool ready = CreatePipe(&childReads, &parentWrites, &inherit, 0) &&
                 CreatePipe(&parentReads, &childWrites, &inherit, 0) &&
                 CreatePipe(&diagnosticsRead, &diagnosticsWrite, &inherit, 0) &&
                 DuplicateHandle(self, self, self, &parent, SYNCHRONIZE, TRUE, 0);
    // The parent's ends stay here: a child holding them would never see the channel end.
    for (HANDLE own : {parentWrites, parentReads, diagnosticsRead}) {
        if (own)
            SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);
    }
    const HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    std::vector<std::string> env = environment;
    env.push_back(std::string(kChannelVariable) + "=" + HandleText(childReads) + ";" +
                  HandleText(childWrites) + ";" + HandleText(parent));
    std::wstring block = ChildEnvironment(env);
    // Programs are named as on Linux; Windows wants their extension.
    std::wstring executable = program;
    if (*PathFindExtensionW(executable.c_str()) == L'\0')
        executable += L".exe";
    std::wstring commandLine = L"\"" + executable + L"\"";
    wchar_t root[MAX_PATH] = L"C:\\";
    GetWindowsDirectoryW(root, MAX_PATH);
    root[3] = L'\0';  // the drive's root, as the Linux child starts in "/"
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = diagnosticsWrite;
    PROCESS_INFORMATION info{};
    ready = ready && nul != INVALID_HANDLE_VALUE &&
            CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                           CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), root,
                           &startup, &info);
    for (HANDLE childs : {childReads, childWrites, diagnosticsWrite, parent, nul}) {
        if (childs && childs != INVALID_HANDLE_VALUE)
            CloseHandle(childs);
    }
    toChild_ = parentWrites;
    fromChild_ = parentReads;
    diagnostics_ = diagnosticsRead;
    if (!ready) {
        CloseAndClear(toChild_);
        CloseAndClear(fromChild_);
        CloseAndClear(diagnostics_);
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = static_cast<int>(info.dwProcessId);
    return true;
}

bool ChildProcess::Send(std::string_view bytes) {
    return toChild_ && WriteAllTo(AsHandle(toChild_), bytes);
}

void ChildProcess::EndSending() {
    CloseAndClear(toChild_);
}

// Anonymous pipes cannot be waited on, so this looks at both every few milliseconds.
ChildProcess::ReadState ChildProcess::Read(int timeoutMs, std::string& channel,
                                           std::string& diagnostics) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!fromChild_ && !diagnostics_)
            return ReadState::Closed;
        const bool gotChannel = Drain(fromChild_, channel);
        const bool gotDiagnostics = Drain(diagnostics_, diagnostics);
        if (gotChannel || gotDiagnostics)
            return ReadState::Data;
        if (!fromChild_ && !diagnostics_)
            return ReadState::Closed;
        if (std::chrono::steady_clock::now() >= deadline)
            return ReadState::Timeout;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
    }
}

void ChildProcess::Kill() {
    if (IsRunning())
        TerminateProcess(AsHandle(process_), 1);
}

ChildExit ChildProcess::Wait() {
    ChildExit result;
    if (!IsRunning())
        return result;
    WaitForSingleObject(AsHandle(process_), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(AsHandle(process_), &code);
    CloseAndClear(process_);
    pid_ = -1;
    result = {ChildExit::Kind::Exited, static_cast<int>(code)};
    return result;
}

void ChildProcess::AwaitEnd() const {
    if (IsRunning())
        WaitForSingleObject(AsHandle(process_), INFINITE);
}

namespace parent_channel {

bool ReadAll(std::string& bytes) {
    HANDLE read, write, parent;
    if (!ChannelHandles(&read, &write, &parent))
        return false;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(read, buffer, sizeof buffer, &got, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE;
        if (got == 0)
            return true;
        bytes.append(buffer, got);
    }
}

bool Write(std::string_view bytes) {
    HANDLE read, write, parent;
    return ChannelHandles(&read, &write, &parent) && WriteAllTo(write, bytes);
}

void EndWithParent() {
    HANDLE read, write, parent;
    if (!ChannelHandles(&read, &write, &parent))
        return;
    std::thread([parent] {
        WaitForSingleObject(parent, INFINITE);
        TerminateProcess(GetCurrentProcess(), 1);
    }).detach();
}

bool LimitMemory(std::uint64_t bytes) {
    if (bytes == 0)
        return true;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit{};
    limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limit.ProcessMemoryLimit = static_cast<SIZE_T>(bytes);
    return job &&
           SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limit, sizeof limit) &&
           AssignProcessToJobObject(job, GetCurrentProcess());
}

}  // namespace parent_channel

std::string TempFolderEntry(const std::wstring& folder) {
    return "TEMP=" + WideToUtf8(folder);
}

std::uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

unsigned UsableProcessorCount() {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0)
        return 1;
    unsigned count = 0;
    for (; process; process &= process - 1)
        ++count;
    return count;
}

}  // namespace platform
