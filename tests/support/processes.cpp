#include "tests/support/processes.h"

#ifdef _WIN32
#include "platform/win_types.h"

#include <tlhelp32.h>

#include "platform/text.h"
#else
#include <unistd.h>

#include <filesystem>
#include <fstream>
#endif

namespace testing_support {

#ifdef _WIN32
std::vector<pid_t> ChildProcesses(const std::string& name, bool) {
    std::vector<pid_t> children;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return children;
    const std::wstring program = platform::Utf8ToWide(name) + L".exe";
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            lstrcmpiW(entry.szExeFile, program.c_str()) == 0)
            children.push_back(static_cast<pid_t>(entry.th32ProcessID));
    }
    CloseHandle(snapshot);
    return children;
}
#else
std::vector<pid_t> ChildProcesses(const std::string& name, bool endedToo) {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, command, state;
        pid_t parent = 0;
        if (stat >> pid >> command >> state >> parent && parent == ::getpid() &&
            command == "(" + name + ")" && (endedToo || state != "Z"))
            children.push_back(std::stoi(pid));
    }
    return children;
}
#endif

}  // namespace testing_support
