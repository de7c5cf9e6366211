#include "tests/support/processes.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace testing_support {

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

}  // namespace testing_support
